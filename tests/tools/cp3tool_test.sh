#!/usr/bin/env bash
# cp3tool as a support desk uses it: its messages, its exit status, and that
# it never leaves a partial output behind.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

not_yours="暗号ファイルは他の人が作成したか、またはファイル内容が変更されています。"
header_unreadable="変換元ファイル(ヘッダー部分)が読めません。"

# expect_refusal LABEL MESSAGE ARGS...: exit status 1, the message, no out.bin.
expect_refusal() {
  local label=$1 message=$2
  shift 2
  rm -f out.bin
  local output status
  output=$(run cp3tool "$@" 2>&1)
  status=$?
  check "$label: exit status 1 (got $status)" test "$status" -eq 1
  check "$label: message '$message' (got '$output')" grep -qF -- "$message" <<<"$output"
  check "$label: no output file" test ! -e out.bin
  check "$label: no temporary file left" test -z "$(ls -A | grep -v -e '^plain' -e '\.cp3$' -e '^damaged')"
}

# Fixed content whose digest has no zero byte, so the field holds all 16 bytes.
yes kestrove | head -c 600000 > plain.bin
check "encrypt" run cp3tool encrypt --key ABCDEFGH --algorithm 2 plain.bin good.cp3
info=$(run cp3tool info good.cp3)
check "info shows the algorithm" grep -q '^algorithm: 2' <<<"$info"
check "info shows the chunk size" grep -q '^chunk_size: 524288' <<<"$info"
check "info shows the digest" grep -q "^digest: $(head -c 524288 plain.bin | md5sum | cut -c1-32)" <<<"$info"

expect_refusal "wrong key" "$not_yours" decrypt --key ABCDEFGX good.cp3 out.bin
expect_refusal "missing file" "指定されたファイルが見つかりません。" decrypt --key ABCDEFGH nothing.cp3 out.bin

# damaged FILE LENGTH [OFFSET HEXBYTES]: a copy of good.cp3 cut or patched.
damaged() {
  head -c "$2" good.cp3 > damaged.cp3
  if [ $# -ge 4 ]; then printf "$4" | dd of=damaged.cp3 bs=1 seek="$3" conv=notrunc status=none; fi
}
size=$(stat -c %s good.cp3)
damaged x 0;       expect_refusal "empty file" "$header_unreadable" decrypt --key ABCDEFGH damaged.cp3 out.bin
damaged x 10;      expect_refusal "cut in the offset table" "$header_unreadable" decrypt --key ABCDEFGH damaged.cp3 out.bin
damaged x 50;      expect_refusal "cut in the info block" "$header_unreadable" decrypt --key ABCDEFGH damaged.cp3 out.bin
damaged x 70;      expect_refusal "cut in the key check" "$not_yours" decrypt --key ABCDEFGH damaged.cp3 out.bin
damaged x 80;      expect_refusal "body shorter than the filler" "$header_unreadable" decrypt --key ABCDEFGH damaged.cp3 out.bin
damaged x "$size" 24 '\x00\x00\x00\x00'; expect_refusal "chunk size 0" "$header_unreadable" decrypt --key ABCDEFGH damaged.cp3 out.bin
damaged x "$size" 24 '\x00\x00\x00\x7f'; expect_refusal "chunk size of gigabytes" "$header_unreadable" decrypt --key ABCDEFGH damaged.cp3 out.bin
damaged x "$size" 4 '\xff\xff\xff\x7f';  expect_refusal "info offset past the end" "$header_unreadable" decrypt --key ABCDEFGH damaged.cp3 out.bin
damaged x "$size" 12 '\xff\xff\xff\x7f'; expect_refusal "body offset past the end" "$header_unreadable" decrypt --key ABCDEFGH damaged.cp3 out.bin
damaged x "$size" 1000 '\x55';           expect_refusal "first chunk altered" "$not_yours" decrypt --key ABCDEFGH damaged.cp3 out.bin

# The output appears only when complete and is not replaced unless asked.
echo old > out.bin
check "an existing output is refused" not run cp3tool decrypt --key ABCDEFGH good.cp3 out.bin
check "the existing output is untouched" test "$(cat out.bin)" = old
check "--force replaces it" run cp3tool decrypt --force --key ABCDEFGH good.cp3 out.bin
check "the replaced output is the plain file" cmp -s plain.bin out.bin

check "a key that is not 8 characters is refused" not run cp3tool encrypt --key SHORT --algorithm 1 plain.bin short.cp3
check "usage errors exit non-zero" not run cp3tool frobnicate

finish
