#!/usr/bin/env bash
# The setup program on a PC that already holds the user's key and files: a
# silent install of every component (programs, Start menu, the ".cp3"
# association as the options dialog writes it, the SendTo shortcut), a
# double-click on a cp3 file that starts the installed program, and silent
# uninstalls that remove what is ours and nothing else: the user's files,
# the key device, the per-user record and an association that no longer
# starts the installed program stay.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

setup_exe=$KESTROVE_BIN/setup.exe
if [ ! -f "$setup_exe" ]; then
  echo "FAILED: $setup_exe is not built (is makensis installed?)" >&2
  echo "0 passed, 1 failed"
  exit 1
fi

password=abc123
notice="注意　- ケストローブ"
install_dir='C:\Program Files\Kestrove'
installed=$("$wine" winepath -u "$install_dir" 2>/dev/null)
program="$install_dir\\kestrove.exe"
command_text="\"$program\" \"-F\" \"%1\""
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrove'

sendto_link=$(unix_folder APPDATA Microsoft/Windows/SendTo)/kestrove.lnk
start_menu_link=$(unix_folder ProgramData "Microsoft/Windows/Start Menu/Programs")/ケストローブ/ケストローブ.lnk

# wine_pid TEXT: the Linux pid of a Wine process whose Windows command line
# holds TEXT (Wine shows that line as the process's argv, the words joined
# by blanks).
wine_pid() {
  local proc line
  for proc in /proc/[0-9]*; do
    line=$(tr '\0' ' ' 2>/dev/null <"$proc/cmdline") || continue
    [[ $line == *"$1"* ]] && { echo "${proc#/proc/}"; return 0; }
  done
  return 1
}
wine_runs() { wine_pid "$1" >/dev/null; }

# uninstall: the uninstaller as Add/Remove Programs starts it, silent. It
# copies itself to the temporary folder, starts the copy with
# "_?=<install folder>" and returns at once; the copy does the work.
uninstall() {
  "$wine" "$install_dir\\uninstall.exe" /S </dev/null >/dev/null 2>&1 || return 1
  poll 300 not wine_runs "_?=$install_dir"
}

# ---- the PC before the setup: the key on E: and on the PC, a file
# encrypted with it, other files, and a file type of another program.
check "the PC key is made at the first start" make_pc_key
printf '打合せメモ\r\n' >doc.txt
printf '別のファイル\r\n' >other.txt
start_program -E "$(winpath doc.txt)"
check "doc.txt is encrypted with the personal key" choose_personal_key
check "the encryption ends with status 0" test "$(program_exit_status 30)" = 0
check "doc.txt.cp3 is there" test -s doc.txt.cp3
"$wine" reg add 'HKCR\.kestrovetest' /ve /d kestrovetest_file /f >/dev/null 2>&1
ini_before=$(md5sum <"$device/qevlink.ini")

# ---- silent install: every component
"$wine" "$setup_exe" /S </dev/null >/dev/null 2>&1
status=$?
check "setup.exe /S ends with 0 (got $status)" test "$status" = 0
for exe in kestrove keyloft cp3tool; do
  check "$exe.exe is installed as built" cmp -s "$KESTROVE_BIN/$exe.exe" "$installed/$exe.exe"
done
check "the uninstaller is installed" test -f "$installed/uninstall.exe"
check "Add/Remove Programs lists ケストローブ" test "$(reg_value "$uninstall_key" DisplayName)" = ケストローブ
check "the Start-menu entry starts the installed program" test "$(lnk_field "$start_menu_link" target)" = "$program"
check ".cp3 is the file type cp3_file (got '$(reg_value 'HKCR\.cp3')')" has_default 'HKCR\.cp3' cp3_file
check "the open command is the program's own text (got '$(reg_value 'HKCR\cp3_file\shell\open\command')')" \
  has_default 'HKCR\cp3_file\shell\open\command' "$command_text"
check "the icon is the program's second icon" has_default 'HKCR\cp3_file\DefaultIcon' "$program,1"
for option in 1 2 3; do
  check "the marker of option $option is set" has_default "HKCR\\cp3_file\\original_option$option" 1
done
check "the SendTo shortcut is there" test -f "$sendto_link"
check "the SendTo shortcut holds the installed program, a normal window and nothing else (got $(lnk_fields "$sendto_link" | tr '\n' ' '))" \
  test "$(lnk_fields "$sendto_link" | grep -v '^[a-z]*=$' | sort | tr '\n' ' ')" = "show=1 target=$program "

# ---- a double-click on the cp3 file (what the Explorer does: ShellExecute)
"$wine" start "$(winpath doc.txt.cp3)" </dev/null >/dev/null 2>&1
check "the double-click starts the installed program with -F and the file" \
  poll 100 wine_runs "$program -F $(winpath doc.txt.cp3)"
pid=$(wine_pid "$program -F ")
# Whatever the program shows first is answered; a program that then goes on
# working is ended, since only its start is in question here.
driver answer "$notice" 1 5000 >/dev/null 2>&1
if [ -n "$pid" ] && ! poll 100 not test -e "/proc/$pid"; then kill "$pid"; fi
check "the double-clicked program has ended" poll 50 not wine_runs "$program "

# ---- silent uninstall
files_before=$(cd "$work/files" && find . -type f -print0 | sort -z | xargs -0 md5sum)
check "the uninstaller ends" uninstall
check "the install folder is gone" test ! -e "$installed"
check "the Start-menu entry is gone" test ! -e "$start_menu_link"
check "the Start-menu folder is gone" test ! -e "$(dirname "$start_menu_link")"
check "the SendTo shortcut is gone" test ! -e "$sendto_link"
check "HKCR\\cp3_file is gone" not key_exists 'HKCR\cp3_file'
check "HKCR\\.cp3 is gone" not key_exists 'HKCR\.cp3'
check "the Add/Remove Programs entry is gone" not key_exists "$uninstall_key"
check "the user's files are untouched" \
  test "$(cd "$work/files" && find . -type f -print0 | sort -z | xargs -0 md5sum)" = "$files_before"
check "the cp3 file stays" test -s doc.txt.cp3
check "the key device's settings stay" test "$(md5sum <"$device/qevlink.ini")" = "$ini_before"
check "the per-user record stays" \
  eval '"$wine" reg query "HKCU\\Software\\KAVOR\\QEVLINK" /v USERDATA >/dev/null 2>&1'
check "another program's file type stays" has_default 'HKCR\.kestrovetest' kestrovetest_file

# ---- an association that is not (only) ours, and a file of the user in
# the install folder: each row reinstalls, changes the association, then
# uninstalls. Columns: what is done, the open command and the ".cp3" value
# expected afterwards ("-" for a missing key).
give_command_to_another_program() {
  "$wine" reg add 'HKCR\cp3_file\shell\open\command' /ve /d '"C:\Tools\viewer.exe" "%1"' /f
}
remove_open_command() { "$wine" reg delete 'HKCR\cp3_file\shell' /f; }
give_extension_to_another_type() { "$wine" reg add 'HKCR\.cp3' /ve /d other_file /f; }
while IFS='|' read -r -u 3 label change want_command want_extension; do
  "$wine" "$setup_exe" /S </dev/null >/dev/null 2>&1
  status=$?
  check "$label: setup.exe /S ends with 0 (got $status)" test "$status" = 0
  "$change" >/dev/null 2>&1
  printf 'メモ\r\n' >"$installed/memo.txt"
  check "$label: the uninstaller ends" uninstall
  check "$label: the programs are gone" test ! -e "$installed/kestrove.exe" -a ! -e "$installed/uninstall.exe"
  check "$label: the user's file keeps the install folder" test -f "$installed/memo.txt"
  if [ "$want_command" = - ]; then
    check "$label: HKCR\\cp3_file is gone" not key_exists 'HKCR\cp3_file'
  else
    check "$label: the open command stays (got '$(reg_value 'HKCR\cp3_file\shell\open\command')')" \
      has_default 'HKCR\cp3_file\shell\open\command' "$want_command"
    check "$label: the markers stay" key_exists 'HKCR\cp3_file\original_option1'
  fi
  if [ "$want_extension" = - ]; then
    check "$label: HKCR\\.cp3 is gone" not key_exists 'HKCR\.cp3'
  else
    check "$label: .cp3 stays '$want_extension'" has_default 'HKCR\.cp3' "$want_extension"
  fi
  "$wine" reg delete 'HKCR\cp3_file' /f >/dev/null 2>&1
  "$wine" reg delete 'HKCR\.cp3' /f >/dev/null 2>&1
  rm -rf "$installed"
done 3<<'EOF'
another program's open command|give_command_to_another_program|"C:\Tools\viewer.exe" "%1"|cp3_file
the open command removed, the markers left|remove_open_command|-|-
.cp3 given to another file type|give_extension_to_another_type|-|other_file
EOF

finish
