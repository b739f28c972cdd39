#!/usr/bin/env bash
# A command-line run that meets existing outputs (the overwrite question and
# its four answers), one that the user stops, and one that fails: what the
# progress dialog shows, how the program ends, and what stays on disk.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

password=abc123
progress="ファイル変換　- ケストローブ"
overwrite="上書き確認　-ケストローブ"

# The temporary folder of the Wine user (GetTempPath), where the instance
# files go.
temp_folder=$("$wine" winepath -u "$("$wine" cmd /c echo %TEMP% </dev/null | tr -d '\r')" 2>/dev/null)
check "the temporary folder is known ($temp_folder)" test -d "$temp_folder"
no_instance_file() { [ -z "$(ls "$temp_folder" | grep -F .tmp)" ]; }

# A run that waits for the user: 1020 shows TEXT, the stop hint is blanked,
# 終了 is enabled and 停止 not; 終了 ends the dialog and the program.
expect_waiting_dialog() {
  local what=$1 text=$2
  expect_text "$progress" 1020 "$text"
  expect_text "$progress" 1047 "   "
  check "$what: 終了 is enabled" prints 1 driver enabled "$progress" 2
  check "$what: 停止 is disabled" prints 0 driver enabled "$progress" 1044
  check "$what: the program waits for 終了" prints timeout program_exit_status 1
  check "$what: 終了 is pressed" driver click "$progress" 2
  check "$what: the program ends after 終了" prints 0 program_exit_status
}

check "the PC key is made at the first start" make_pc_key

# ---- the cp3 files of this session, encrypted in one run; then the old
# outputs are put back in their place
names=(一.txt 二.txt 三.txt 四.txt 五.txt 六.txt 七.txt)
mkdir -p new old
for name in "${names[@]}"; do
  printf '新しい%s\r\n' "$name" >"$name"
  printf '古い%s\r\n' "$name" >"old/$name"
  cp "$name" "new/$name"
done
arguments=()
for name in "${names[@]}"; do arguments+=("$(winpath "$name")"); done
start_program -E "${arguments[@]}"
check "the cp3 files are made" choose_personal_key
check "the encryption ends with status 0" prints 0 program_exit_status 30
for name in "${names[@]}"; do cp "$name.cp3" "new/$name.cp3" && cp "old/$name" "$name"; done

# ---- the overwrite question: いいえ keeps 一, はい replaces 二, はい(すべて)
# replaces 三 and 四 without a further question
start_program -D "$(winpath 一.txt.cp3)" "$(winpath 二.txt.cp3)" "$(winpath 三.txt.cp3)" "$(winpath 四.txt.cp3)"
answers=("一.txt 1024" "二.txt 1067" "三.txt 1066")
for row in "${answers[@]}"; do
  read -r name button <<<"$row"
  expect_text "$overwrite" 1068 "$name"
  if [ "$name" = 一.txt ]; then   # the worker waits for the answer
    expect_text "$progress" 1046 "★ファイルの復号化を行います。"
    expect_text "$progress" 1019 一.txt.cp3
    expect_text "$progress" 1020 "変換中・・・・ 0/4"
    expect_text "$progress" 1047 "ファイルの復号化を停止する場合には、停止ボタンを押してください。"
    check "停止 is enabled while the worker runs" prints 1 driver enabled "$progress" 1044
    check "終了 is disabled while the worker runs" prints 0 driver enabled "$progress" 2
  fi
  check "$name: button $button is pressed" driver click "$overwrite" "$button"
done
check "after はい(すべて) the run ends by itself with status 0" prints 0 program_exit_status 20
# name, the content it has now, whether its cp3 file is still there
expected=("一.txt old kept" "二.txt new gone" "三.txt new gone" "四.txt new gone")
for row in "${expected[@]}"; do
  read -r name content cp3 <<<"$row"
  check "$name holds the $content text" cmp -s "$content/$name" "$name"
  if [ "$cp3" = kept ]; then
    check "$name.cp3 is kept" cmp -s "new/$name.cp3" "$name.cp3"
  else
    check "$name.cp3 is deleted" test ! -e "$name.cp3"
  fi
done

# キャンセル, and closing the question, end the run: neither 五 nor the later
# 六 is touched, and the progress dialog closes by itself
press_cancel() { driver click "$overwrite" 1040; }
close_question() { driver close "$overwrite"; }
for way in press_cancel close_question; do
  start_program -D "$(winpath 五.txt.cp3)" "$(winpath 六.txt.cp3)"
  expect_text "$overwrite" 1068 五.txt
  check "$way answers the question" $way
  check "after $way the run ends with status 0" prints 0 program_exit_status 20
  for name in 五.txt 六.txt; do
    check "after $way $name is the old file" cmp -s "old/$name" "$name"
    check "after $way $name.cp3 is kept" cmp -s "new/$name.cp3" "$name.cp3"
  done
done
check "no instance file is left after the overwrite runs" no_instance_file

# ---- a failure keeps the dialog open: the old output is read-only
check "七.txt is made read-only" "$wine" cmd /c attrib +r "$(winpath 七.txt)"
start_program -D "$(winpath 七.txt.cp3)"
expect_text "$overwrite" 1068 七.txt
check "はい is pressed for the read-only 七.txt" driver click "$overwrite" 1067
expect_text "$progress" 1019 七.txt.cp3   # the file that failed
expect_waiting_dialog "read-only output" $'上書きしようとしたファイルが読み取り専用になっています。\nアクセスが拒否されました。'
check "the read-only 七.txt is the old file" cmp -s old/七.txt 七.txt
check "七.txt.cp3 is untouched" cmp -s new/七.txt.cp3 七.txt.cp3
check "no instance file is left after the failure" no_instance_file

head -c 64000000 /dev/urandom >new/piece
repeated new/piece 16 >大きい.bin
start_program -E "$(winpath 大きい.bin)"
check "the large file's key is chosen" choose_personal_key
check "停止 is pressed as soon as the run shows" driver click "$progress" 1044
expect_waiting_dialog "stopped run" "暗号化を停止しました。"
check "the stopped source is intact" cmp -s <(repeated new/piece 16) 大きい.bin
check "the stopped run wrote no cp3 file" test ! -e 大きい.bin.cp3
check "no instance file is left after the stop" no_instance_file

finish
