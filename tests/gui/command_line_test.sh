#!/usr/bin/env bash
# Command-line runs of the program, as the SendTo shortcuts and a drop on
# its icon start it: -E and -D of a folder and a file, arguments without a
# switch (the popup menu), and two runs at the same time.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

password=abc123

# choose_personal_key_from_both: the key choice lists both keys; 個人キー.
choose_personal_key_from_both() {
  driver wait "$key_choice" 20000 &&
    [ "$(driver list "$key_choice" 1037)" = $'個人キー\n営業部(グループ)' ] &&
    choose_personal_key
}

# start_instance NAME ARGS...: starts one of several programs that run at
# the same time; instance_exit_status NAME [SECONDS] waits for it.
start_instance() {
  local name=$1
  shift
  rm -f "$work/$name.status"
  ( "$wine" "$program_exe" "$@" >>"$work/program.log" 2>&1; echo $? >"$work/$name.status" ) &
}
instance_exit_status() {
  local i
  for i in $(seq 1 $(( ${2:-20} * 10 ))); do
    [ -s "$work/$1.status" ] && { cat "$work/$1.status"; return 0; }
    sleep 0.1
  done
  echo timeout
}

# The temporary folder of the Wine user (GetTempPath), where the instance
# files go.
temp_folder=$("$wine" winepath -u "$("$wine" cmd /c echo %TEMP% </dev/null | tr -d '\r')" 2>/dev/null)
check "the temporary folder is known ($temp_folder)" test -d "$temp_folder"

check "the PC key is made at the first start" make_pc_key

# ---- -E and -D of a folder (with a subfolder) and a file
mkdir -p 資料/下位 originals
printf '見積書\r\n' >資料/見積.txt
head -c 1500000 /dev/urandom >資料/下位/図面.bin    # three chunks
: >資料/下位/空.txt
head -c 524288 /dev/urandom >"表 一覧.dat"           # one whole chunk
plain_files=(資料/見積.txt 資料/下位/図面.bin 資料/下位/空.txt "表 一覧.dat")
for f in "${plain_files[@]}"; do mkdir -p "originals/$(dirname "$f")" && cp "$f" "originals/$f"; done

start_program -E "$(winpath 資料)" "$(winpath "表 一覧.dat")"
check "-E asks for the key and 個人キー is confirmed" choose_personal_key_from_both
check "the encryption ends by itself with status 0" test "$(program_exit_status 30)" = 0
for f in "${plain_files[@]}"; do
  check "-E: $f.cp3 is written" test -s "$f.cp3"
  check "-E: the original $f is deleted" test ! -e "$f"
done

start_program -D "$(winpath 資料)" "$(winpath "表 一覧.dat.cp3")"
check "the decryption ends by itself with status 0" test "$(program_exit_status 30)" = 0
for f in "${plain_files[@]}"; do
  check "-D: $f is byte-exact" cmp -s "originals/$f" "$f"
  check "-D: $f.cp3 is deleted" test ! -e "$f.cp3"
done

# ---- arguments without a switch: the popup menu asks what to do
printf '議事録\r\n' >議事録.txt
cp 議事録.txt originals/
start_program "$(winpath 議事録.txt)"
check "the menu's 暗号化を行う is chosen" driver menu "" 0
check "the menu's encryption asks for the key" choose_personal_key
check "the menu's encryption ends with status 0" test "$(program_exit_status 30)" = 0
check "the menu's encryption replaced 議事録.txt by its cp3 file" test -s 議事録.txt.cp3 -a ! -e 議事録.txt
cp 議事録.txt.cp3 originals/

# Both ways of declining end the program at once (a message would hold it)
# and leave the file alone: the item キャンセル, and Escape.
for decline in "menu \"\" 2" menu-cancel; do
  start_program "$(winpath 議事録.txt.cp3)"
  check "$decline closes the menu" eval driver "$decline"
  check "after $decline the program ends at once" test "$(program_exit_status 5)" != timeout
  check "after $decline the file is untouched" cmp -s originals/議事録.txt.cp3 議事録.txt.cp3
done

start_program "$(winpath 議事録.txt.cp3)"
check "the menu's 復号化を行う is chosen" driver menu "" 1
check "the menu's decryption ends with status 0" test "$(program_exit_status 30)" = 0
check "the menu's decryption gives 議事録.txt back" cmp -s originals/議事録.txt 議事録.txt

# ---- two encryptions started at the same moment: each instance has its
# own temporary file, and neither disturbs the other. The user has turned
# the key choice off (the setting behind box 1043), so that nothing holds
# either back. Each file is 1 GB, made of one random piece of its own.
sed -i 's/^USEGROUPKEY=1\r$/USEGROUPKEY=0\r/' "$device/qevlink.ini"
check "the key choice is off in the settings" grep -q $'^USEGROUPKEY=0\r$' "$device/qevlink.ini"
for n in 1 2; do
  head -c 64000000 /dev/urandom >originals/piece$n
  repeated originals/piece$n 16 >大$n.bin
done
start_instance first -E "$(winpath 大1.bin)"
start_instance second -E "$(winpath 大2.bin)"
# both_working: two instance files (8 characters of A-F and digits, .tmp)
# at once in the temporary folder.
both_working() {
  local names
  names=$(cd "$temp_folder" && ls | grep -E '^[0-9A-F]{8}\.tmp$')
  [ "$(wc -l <<<"$names")" = 2 ]
}
check "while both run, the temporary folder holds two different instance files" poll 300 both_working
for n in first second; do
  check "the $n of two ends with status 0" test "$(instance_exit_status $n 60)" = 0
done
check "no instance file is left behind" test -z "$(ls "$temp_folder" | grep -F .tmp)"
start_program -D "$(winpath 大1.bin.cp3)" "$(winpath 大2.bin.cp3)"
check "both outputs are decrypted with status 0" test "$(program_exit_status 60)" = 0
for n in 1 2; do
  check "大$n.bin is byte-exact after the two runs" cmp -s <(repeated originals/piece$n 16) 大$n.bin
done

finish
