#!/usr/bin/env bash
# The first start on a PC that has no key information yet: the question, the
# key-creation dialog with a wrong and then the right password, the main
# window, the orderly end, and a second start that asks nothing and shows the
# last access. A second, empty removable drive F: stands beside the key
# device E: and must not become the drive in use.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

confirm="確認　- ケストローブ"
notice="注意　- ケストローブ"
creation="キー作成　- ケストローブ"

starts_with() { case $1 in "$2"*) return 0 ;; *) return 1 ;; esac; }

make_key_device abc123 営業部 || { echo "0 passed, 1 failed"; exit 1; }
floppy=$work/floppy-f   # the second removable drive, empty
mkdir -p "$floppy"
ln -sfn "$floppy" "$prefix/dosdevices/f:"
"$wine" reg add 'HKLM\Software\Wine\Drives' /v f: /d floppy /f >/dev/null 2>&1
start_wine
ini_before=$(md5sum <"$device/qevlink.ini")

# ---- first start: no key information on this PC
start_program
expect_box "$confirm" $'パソコンにキー情報が存在しません。作成しますか？\n作成しない場合はアプリケーションは終了します。' 1
expect_text "$creation" 1064 "（Eドライブを使用しています。）"

# Two wrong passwords: one that is no password at all (6 letters or digits)
# is replaced by one blank; a well-formed one is just refused. The third try
# is the right one.
for wrong in abc-12 abc124; do
  check "the wrong password $wrong can be typed" driver set "$creation" 1007 "$wrong"
  check "OK takes $wrong" driver click "$creation" 1
  expect_box "$notice" "入力したパスワードが間違っているかキー情報が不正です。" 1
  [ "$wrong" = abc-12 ] && expect_text "$creation" 1007 " "
done
check "no key information after the wrong passwords" \
  not eval '"$wine" reg query "HKCU\\Software\\KAVOR\\QEVLINK" /v USERDATA >/dev/null 2>&1'

check "the right password can be typed" driver set "$creation" 1007 abc123
check "OK takes the right password" driver click "$creation" 1
expect_box "$confirm" "パソコンにキー情報を作成しました。" 1
check "the key dialog closes" driver gone "$creation"
check "the main window opens" driver wait "$main_caption" 15000
expect_text "$main_caption" 1063 "Eドライブのキーを使用しています。"
expect_text "$main_caption" 1052 "前回起動時間は不明です"
check "the PC now holds the user's key" \
  eval '"$wine" reg query "HKCU\\Software\\KAVOR\\QEVLINK" /v USERDATA >/dev/null 2>&1'

check "終了 is pressed" driver click "$main_caption" 1040
status=$(program_exit_status)
check "the program ends with 0 after 終了 (got $status)" test "$status" = 0

# The settings went to the key device, not to the empty drive.
check "the settings file on E: was written" not test "$(md5sum <"$device/qevlink.ini")" = "$ini_before"
check "E:\\qevlink.ini holds [OPTION]" test "$(ini_value OPTION OVERWRITECHECK)" = 1
check "E:\\qevlink.ini holds the last access" test -n "$(ini_value ACCESS ACCESSTIME)"
check "nothing was written to F:" test -z "$(ls -A "$floppy")"

# ---- second start: the PC knows the key; the last access is shown
start_program
check "the main window opens without a question" driver wait "$main_caption" 15000
check "no question was asked" not eval 'driver windows | grep -qF "\"$confirm\""'
last_access=$(driver text "$main_caption" 1052)
check "1052 shows the last access (got '$last_access')" starts_with "$last_access" "最終アクセス："
expect_text "$main_caption" 1063 "Eドライブのキーを使用しています。"
check "終了 is pressed again" driver click "$main_caption" 1040
status=$(program_exit_status)
check "the second start ends with 0 (got $status)" test "$status" = 0
check "still nothing on F:" test -z "$(ls -A "$floppy")"

finish
