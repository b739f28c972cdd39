#!/usr/bin/env bash
# The options dialog as a user works with it: the SendTo shortcut and the
# ".cp3" association with its markers follow the boxes in the real registry
# and SendTo folder; the boxes' dependencies and the refusal of a broken one
# at OK; the question before any change; a write the registry refuses; the
# detail dialogs; the state read
# back at each opening, an association of another program reading as off;
# and the double-click start refused until the association is on.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

options="オプション設定　- ケストローブ"
notice="注意　- ケストローブ"
password=abc123
program=$(winpath "$program_exe")
command_text="\"$program\" \"-F\" \"%1\""
sendto_link=$(unix_folder APPDATA Microsoft/Windows/SendTo)/kestrove.lnk
double_click_off=$'ケストローブを実行することができません。以下の内容を確認してください。\n・ダブルクリックでファイルを開く場合には「ダブルクリックで暗号化したファイルを開く」オプションの設定が必要です。'
marker() { printf 'HKCR\\cp3_file\\original_option%s' "$1"; }

# shown_boxes: 1016, 1017, 1018 and 1042 of the options dialog as 1/0.
shown_boxes() {
  local id out="" one
  for id in 1016 1017 1018 1042; do
    one=$(driver checked "$options" "$id") || return 1
    out+=$one
  done
  echo "$out"
}
boxes_are() { eventually prints "$1" shown_boxes; }
open_options() { driver click "$main_caption" 1048 && driver wait "$options"; }
close_options() { driver click "$options" 2 && driver gone "$options"; }
reopened_shows() { close_options && open_options && boxes_are "$1"; }
click() { local id; for id in "$@"; do driver click "$options" "$id" || return 1; done; }
# confirmed_ok: OK asks first; the question is answered OK.
confirmed_ok() { driver click "$options" 1 && prints "設定を変更します。よろしいですか？" driver answer "$question" 1; }
# shown_text TEXT: a shown window has a control whose text begins with TEXT.
shown_text() { driver windows 2>&1 | grep -qF -- "\"$1"; }
# detail_shows ID TEXT: the button opens a detail dialog (same caption, on
# top) that shows TEXT and closes with 閉じる.
detail_shows() {
  driver click "$options" "$1" && eventually shown_text "$2" &&
    driver click "$options" 2 && eventually not shown_text "$2" && driver wait "$options" 1000
}

printf 'minutes\r\n' >doc.txt
make_pc_key || { echo "FAILED: first start"; echo "0 passed, 1 failed"; exit 1; }
start_program -E "$(winpath doc.txt)"
check "doc.txt encrypted" choose_personal_key
check "the run ends by itself" eventually test -f doc.txt.cp3
[ "$(program_exit_status)" = 0 ] || check "the encryption run ended with 0" false

# ---- a double-click start before the association exists
start_program -F "$(winpath doc.txt.cp3)"
expect_box "$notice" "$double_click_off" 1
check "the double-click start ends" test "$(program_exit_status)" != timeout

# ---- the options dialog over a PC without any of it
start_program
check "the main window" driver wait "$main_caption" 15000
check "1048 opens the options dialog" open_options
check "all four boxes off" boxes_are 0000
check "詳細 1024 opens its page" detail_shows 1024 "ダブルクリックで暗号化したファイル(拡張子がcp3)を"
check "詳細 1040 opens its page" detail_shows 1040 "ダブルクリックで開いた暗号化ファイルを保存するとき"
check "注意事項 1053 opens its page" detail_shows 1053 "※　注意事項の詳細はマニュアルを参照"

# A cancelled question changes nothing and puts the boxes back.
check "SendTo ticked" click 1016
check "OK asks" driver click "$options" 1
expect_box "$question" "設定を変更します。よろしいですか？" 2
check "the boxes went back" boxes_are 0000
check "no shortcut after the cancel" test ! -e "$sendto_link"

# Everything on in one OK.
check "1016, 1017, 1018 ticked" click 1016 1017 1018
check "ticking 1018 ticks 1042" boxes_are 1111
check "OK confirmed" confirmed_ok
check ".cp3 belongs to cp3_file (got '$(reg_value 'HKCR\.cp3')')" has_default 'HKCR\.cp3' cp3_file
check "the open command runs this program with -F (got '$(reg_value 'HKCR\cp3_file\shell\open\command')')" \
  has_default 'HKCR\cp3_file\shell\open\command' "$command_text"
check "the document icon is the program's second" has_default 'HKCR\cp3_file\DefaultIcon' "$program,1"
for n in 1 2 3; do check "marker $n" has_default "$(marker $n)" 1; done
check "the SendTo shortcut holds the program (got $(lnk_field "$sendto_link" target))" \
  test "$(lnk_field "$sendto_link" target)" = "$program"
check "reopened: the PC's state" reopened_shows 1111

# A broken dependency is refused at OK and the boxes show the PC again.
check "1017 unticked" click 1017
check "unticking 1017 clears 1018 and 1042" boxes_are 1000
check "1018 ticked again without 1017" click 1018
check "OK" driver click "$options" 1
expect_box "$notice" $'※ 「ダブルクリックで暗号化したファイルを開く。」オプションを無効にした場合\n「ダブルクリックで開いた暗号化ファイルを保存時に自動的に暗号化する。」オプションは選択できません。' 1
check "the boxes show the PC's state" boxes_are 1111
check "the association is untouched" has_default "$(marker 2)" 1

# A PC that refuses the write (the marker's permissions deny it, as for a
# user without Administrator rights): the option's own message, and the
# boxes show what the registry still holds.
check "writing marker 3 denied" driver registry-write 'cp3_file\original_option3' deny
check "1042 unticked" click 1042
check "OK confirmed" confirmed_ok
expect_box "$notice" "「元ファイルと同じキーで暗号化する。」オプションを変更するためには、このパソコンのAdministrator権限が必要になります。" 1
check "the boxes show the flags again" boxes_are 1111
check "marker 3 is still there" has_default "$(marker 3)" 1
check "reopened: still 1111" reopened_shows 1111
check "writing marker 3 allowed again" driver registry-write 'cp3_file\original_option3' allow

# Option 3 alone off.
check "1042 unticked" click 1042
check "OK confirmed" confirmed_ok
check "marker 3 removed" not key_exists "$(marker 3)"
check "marker 2 stays" has_default "$(marker 2)" 1
check "reopened: 1110" reopened_shows 1110
check "options closed" close_options
check "the program ends" driver close "$main_caption"
check "exit status 0" test "$(program_exit_status)" = 0

# ---- the double-click start now passes the association check
start_program -F "$(winpath doc.txt.cp3)"
check "no refusal of the double-click start" not driver box "$notice" 3000

check "the program of the double-click is ended" bash -c '"$0" -k' "$wineserver"
start_wine

# ---- everything off again
start_program
check "the main window again" driver wait "$main_caption" 15000
check "options again" open_options
check "the PC's state" boxes_are 1110
check "1016 and 1017 unticked" click 1016 1017
check "all off" boxes_are 0000
check "OK confirmed" confirmed_ok
check "the whole cp3_file branch is removed" not key_exists 'HKCR\cp3_file'
check ".cp3 is removed" not key_exists 'HKCR\.cp3'
check "the shortcut is removed" test ! -e "$sendto_link"
check "reopened: all off" reopened_shows 0000

# ---- an association that belongs to another program reads as off
"$wine" reg add 'HKCR\cp3_file\shell\open\command' /ve /d '"C:\other\viewer.exe" "-F" "%1"' /f >/dev/null 2>&1
for n in 1 2 3; do "$wine" reg add "$(marker $n)" /ve /d 1 /f >/dev/null 2>&1; done
check "another program's association: all off" reopened_shows 0000
check "options closed" close_options
check "the program ends" driver close "$main_caption"
check "exit status 0 at the end" test "$(program_exit_status)" = 0

finish
