#!/usr/bin/env bash
# The Linux kestrove as a script drives it: answers line by line on standard
# input, the end of input as キャンセル, exit status 0 only for a completed run,
# and the settings written back to the key device when a run ends.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$here/lib.sh"
source "$here/cp3_openssl.sh"

mkdir usb docs
export KESTROVE_DRIVES="E=$work/usb" KESTROVE_REGISTRY="$work/registry.reg"
printf 'pass42\npass42\n' | run keyloft create usb >/dev/null
printf 'pass42\n' | run keyloft add-group usb --name 営業部 --key SALES123 >/dev/null
head -c 1500000 /dev/urandom > docs/a.bin
printf 'text\n' > docs/b.txt
cp -a docs original

output=$(printf '' | run kestrove -E docs 2>&1); status=$?
check "no PC key and no answer: the run ends" test "$status" -eq 1
check "no PC key and no answer: nothing encrypted" test ! -e docs/a.bin.cp3
check "no PC key and no answer: no registry values" not grep -qs USERDATA registry.reg

output=$(printf '1\npass42\n2\n1\n' | run kestrove -E docs 2>&1); status=$?
check "encrypt with the group key: exit 0 ($output)" test "$status" -eq 0
check "encrypt: cp3 files in place of the originals" test -e docs/a.bin.cp3 -a ! -e docs/a.bin
check "encrypt: the group key marks the files" grep -q '^is_group: 1' <(run cp3tool info docs/b.txt.cp3)
check "encrypt: the last-access time is on the device" grep -q '^ACCESSTIME=[0-9]\{51\}' usb/qevlink.ini
check "encrypt: the settings file is read-only again" test ! -w usb/qevlink.ini -o "$(stat -c %a usb/qevlink.ini)" = 444

output=$(run kestrove -D docs </dev/null 2>&1); status=$?
check "decrypt: exit 0" test "$status" -eq 0
check "decrypt: the folder is back" diff -r original docs
check "decrypt: the last access shows next time" grep -q '最終アクセス：' <<<"$(run kestrove </dev/null 2>&1)"

# An existing output: いいえ keeps it, and the run still completes.
run cp3tool encrypt --key SALES123 --algorithm 1 docs/b.txt docs/b.txt.cp3
printf 'changed\n' > docs/b.txt
output=$(printf '3\n' | run kestrove -D docs/b.txt.cp3 2>&1); status=$?
check "overwrite いいえ: exit 0" test "$status" -eq 0
check "overwrite いいえ: the existing file stays" test "$(cat docs/b.txt)" = changed
output=$(printf '1\n' | run kestrove -D docs/b.txt.cp3 2>&1); status=$?
check "overwrite はい: replaced" test "$(cat docs/b.txt)" = text

# Files of another implementation of the format open with kestrove, and
# kestrove's open with it: the personal key is "ZQ" + the password, and a
# prepared device asks for the AES body.
use_key ZQpass42
head -c 1200000 /dev/urandom > other.bin
make_cp3 other.bin 2 > docs/other.bin.cp3
output=$(run kestrove -D docs/other.bin.cp3 </dev/null 2>&1); status=$?
check "kestrove opens a file made by another implementation" cmp -s other.bin docs/other.bin
printf '1\n1\n' | run kestrove -E docs/other.bin >/dev/null 2>&1
open_cp3 docs/other.bin.cp3 2 > other.back
check "another implementation opens kestrove's file" cmp -s other.bin other.back

output=$(run kestrove -e docs </dev/null 2>&1); status=$?
check "a lower-case switch asks what to do; no answer ends" test "$status" -eq 1
check "the question is shown" grep -q '暗号化を行う' <<<"$output"

output=$(run kestrove -F docs/a.bin.cp3 </dev/null 2>&1); status=$?
check "-F: refused with a clear message" test "$status" -eq 1
check "-F: the message names the Windows program" grep -q 'Windows 版' <<<"$output"

output=$(run kestrove -D nowhere.cp3 </dev/null 2>&1); status=$?
check "a missing argument: exit 1" test "$status" -eq 1
check "a missing argument: its message and name" grep -q 'ファイルの読込みに失敗しました。<13>' <<<"$output"

finish
