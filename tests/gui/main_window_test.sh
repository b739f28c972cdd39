#!/usr/bin/env bash
# The main window as a user works with it: the check boxes and the settings
# written at the end, drops on the two buttons with the key choice, the file
# chooser, the destination folder, and the lock with its three wrong
# passwords. The key device starts without groups (the rule of box 1043);
# a group is added between the two sessions.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

confirm="確認　- ケストローブ"
notice="注意　- ケストローブ"
creation="キー作成　- ケストローブ"
key_choice="暗号化キーの選択　- ケストローブ"
progress="ファイル変換　- ケストローブ"
destination="変換先フォルダ指定　- ケストローブ"
open_dialog="ファイルを開く　- ケストローブ"
unlock="ロックの解除　- ケストローブ"
password=abc123

# first_start: the key information is created on this PC (question, dialog
# 104, done) and the main window is shown.
first_start() {
  start_program
  driver answer "$confirm" 1 >/dev/null &&
    driver set "$creation" 1007 "$password" && driver click "$creation" 1 &&
    driver answer "$confirm" 1 >/dev/null && driver wait "$main_caption" 15000
}

box_is() { eventually prints "$2" driver checked "$main_caption" "$1"; }

# run_finished TEXT: the progress dialog has closed by itself and the status
# line says TEXT; the main window is still there.
run_finished() {
  check "the progress dialog closes by itself" driver gone "$progress" 20000
  expect_text "$main_caption" 1022 "$1"
  check "the main window stays" driver wait "$main_caption" 1000
}

# choose_key LINE NAME: dialog 109 lists the personal key and 営業部; LINE is
# chosen and confirmed.
choose_key() {
  check "109 lists the keys" prints $'個人キー\n営業部(グループ)' driver list "$key_choice" 1037
  check "line $1 is chosen" driver select "$key_choice" 1037 "$1"
  check "選択 is pressed" driver click "$key_choice" 1
  expect_box "$confirm" "$2を使用します。よろしいですか？" 1
}

# Sample files: a folder with a subfolder and a file beside it, Japanese
# names (表 ends in the byte 0x5C), a copy of everything to compare with.
mkdir -p 資料/下位 original
printf '予定表\r\n一行目\r\n' >資料/予定表.txt
head -c 700000 /dev/urandom >資料/下位/表示.bin
printf 'ソフト' >メモ.txt
cp -a 資料 メモ.txt original/
folder=$(winpath 資料)
memo=$(winpath メモ.txt)
same_as_original() { cmp -s "$1" "original/$1"; }

make_key_device "$password" || { echo "0 passed, 1 failed"; exit 1; }

# ---- session 1: a key device with the personal key alone
check "first start" first_start
for id in 1016 1017 1018 1043; do check "box $id starts checked" box_is $id 1; done
check "box 1042 starts unchecked" box_is 1042 0

# Unchecking 1043 and checking it again without a group key leaves the option
# off: the next encryption asks for no key.
check "1043 unchecked" driver click "$main_caption" 1043
check "1043 checked again" driver click "$main_caption" 1043
check "1043 shows the tick" box_is 1043 1
check "a file dropped on 1008" driver drop "$main_caption" 1008 "$memo"
check "no key is asked" not eval 'driver wait "$key_choice" 1500 2>/dev/null'
run_finished "　暗号化が終了しました。"
check "the file was encrypted under the personal key" test -f メモ.txt.cp3
check "and the original deleted" not test -e メモ.txt

# Unchecking 1016 asks; Cancel keeps the box and the setting.
check "1016 unchecked" driver click "$main_caption" 1016
expect_box "$confirm" $'この設定を無効にすると、同一名のファイルが存在した場合自動的に上書きされます。\nまた、「ダブルクリックで暗号化したファイルを開く」オプションでファイルを開いた場合、復号化後のファイルと同一名のファイルは自動的に復号化したファイルで上書きされます。\n「上書き確認する」の設定を無効にしてもよろしいですか？' 2
check "1016 is checked again after Cancel" box_is 1016 1
for id in 1017 1018 1042; do check "box $id toggled" driver click "$main_caption" $id; done
check "box 1042 shows the tick" box_is 1042 1
check "終了" driver click "$main_caption" 1040
status=$(program_exit_status)
check "the program ends with 0 (got $status)" test "$status" = 0
while read -r key want; do
  got=$(ini_value OPTION "$key")
  check "[OPTION] $key=$want (got '$got')" test "$got" = "$want"
done <<'EOF'
OVERWRITECHECK 1
FOLDERALL 0
FILEDEL 0
APPINT_FOLDER 1
USEGROUPKEY 0
EOF

# ---- session 2: the device gets a group key; the boxes show the stored
# settings and are set back.
out=$(printf '%s\n' "$password" | "$wine" "$KESTROVE_BIN/keyloft.exe" add-group 'E:\' --name 営業部 2>&1)
added=$?
check "keyloft adds the group 営業部 ($(iconv -f cp932 -t utf-8 <<<"$out"))" test "$added" = 0
start_program
check "the main window opens" driver wait "$main_caption" 15000
for case in "1016 1" "1017 0" "1018 0" "1042 1" "1043 0"; do
  set -- $case
  check "box $1 shows the stored setting $2" box_is "$1" "$2"
done
for id in 1017 1018 1042 1043; do check "box $id set back" driver click "$main_caption" $id; done
check "1043 is checked" box_is 1043 1
check "1042 is unchecked" box_is 1042 0

# A folder and a file dropped on 1008, under the group key; back with 1009.
mv メモ.txt.cp3 personal.cp3   # kept for the file chooser below
cp original/メモ.txt .
check "a folder and a file dropped on 1008" driver drop "$main_caption" 1008 "$folder" "$memo"
choose_key 1 営業部
run_finished "　暗号化が終了しました。"
for f in 資料/予定表.txt 資料/下位/表示.bin メモ.txt; do
  check "$f.cp3 written" test -f "$f.cp3"
  check "$f deleted" not test -e "$f"
done
check "the cp3 folder and file dropped on 1009" driver drop "$main_caption" 1009 "$folder" "$(winpath メモ.txt.cp3)"
run_finished "　復号化が終了しました。"
for f in 資料/予定表.txt 資料/下位/表示.bin メモ.txt; do
  check "$f decrypted byte-exact" same_as_original "$f"
  check "$f.cp3 deleted" not test -e "$f.cp3"
done

# The file chooser: 1009 without a drop opens the open dialog.
rm メモ.txt
mv personal.cp3 メモ.txt.cp3
check "1009 clicked" driver click "$main_caption" 1009
check "the open dialog is shown" driver wait "$open_dialog"
check "the file name is typed" driver set "$open_dialog" 1148 "$(winpath メモ.txt.cp3)"
check "開く is pressed" driver click "$open_dialog" 1
run_finished "　復号化が終了しました。"
check "the chosen file decrypted byte-exact" same_as_original メモ.txt

# The destination folder: a wrong text, then a real folder.
mkdir -p 変換先
check "1042 checked" driver click "$main_caption" 1042
check "a file dropped on 1008" driver drop "$main_caption" 1008 "$memo"
choose_key 0 個人キー
check "D: is typed" driver set "$destination" 1041 "D:"
check "OK" driver click "$destination" 1
expect_box "$notice" "指定されたフォルダパスが不正です。" 1
check "a real folder is typed" driver set "$destination" 1041 "$(winpath 変換先)"
check "OK again" driver click "$destination" 1
check "the destination dialog closes" driver gone "$destination"
run_finished "　暗号化が終了しました。"
check "the cp3 file is in the destination folder" test -f 変換先/メモ.txt.cp3
check "and not beside the source" not test -e メモ.txt.cp3
check "1042 unchecked" driver click "$main_caption" 1042

# Lock; a drop is refused; three wrong passwords over two openings of 108
# end the program.
check "1025 locks" driver click "$main_caption" 1025
expect_box "$confirm" $'ケストローブをロックし、暗号化/復号化を禁止します。\n(ロックを解除するためにはパスワード入力が必要です。)\nよろしいですか？' 1
expect_box "$confirm" $'ケストローブをロックしました。\n(解除するには、再度「ロック設定/解除」ボタンをクリックしてください。)' 1
expect_text "$main_caption" 1022 "　★ロック状態です★"
printf 'ロック中' >ロック中.txt
check "a file dropped on 1008 while locked" driver drop "$main_caption" 1008 "$(winpath ロック中.txt)"
expect_box "$notice" "ケストローブはロックされています。" 1
check "nothing was encrypted while locked" not test -e ロック中.txt.cp3
check "1025 opens the unlock dialog" driver click "$main_caption" 1025
check "a wrong password" driver set "$unlock" 1007 xyz789
check "OK" driver click "$unlock" 1
expect_box "$notice" "入力したパスワードが間違っています。" 1
check "キャンセル" driver click "$unlock" 2
check "the unlock dialog closes" driver gone "$unlock"
expect_text "$main_caption" 1022 "　★ロック状態です★"
check "1025 again" driver click "$main_caption" 1025
for try in 2 3; do
  check "wrong password $try" driver set "$unlock" 1007 "xyz78$try"
  check "OK $try" driver click "$unlock" 1
  expect_box "$notice" "入力したパスワードが間違っています。" 1
done
expect_box "$notice" "パスワードを3回間違えたため強制終了します。" 1
status=$(program_exit_status)
check "the program ends by itself with 0 (got $status)" test "$status" = 0
check "the forced end saves no settings" test "$(ini_value OPTION FOLDERALL)" = 0

finish
