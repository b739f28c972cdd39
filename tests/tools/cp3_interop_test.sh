#!/usr/bin/env bash
# cp3 and cp2 files made by another implementation of the format (openssl for
# the block ciphers, the shell for the layout) open with cp3tool, and cp3
# files made by cp3tool open with it, byte-exact, for every size class around
# the chunk boundary and both body ciphers.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"
source "$here/cp3_openssl.sh"

for size in 0 1 15 16 $((chunk - 5)) $chunk $((chunk + 1)) $((2 * chunk + 1000)); do
  head -c "$size" /dev/urandom > plain.bin
  # A digest with a zero byte is stored cut short; make one such case certain.
  for alg in 1 2; do
    label="size $size algorithm $alg"
    make_cp3 plain.bin "$alg" > theirs.cp3
    check "$label: layout size" test "$(stat -c %s theirs.cp3)" -eq $((76 + size + ($alg == 2 ? 15 : 7)))
    rm -f mine.bin
    check "$label: cp3tool opens a file made by another implementation" run cp3tool decrypt --key "$key" theirs.cp3 mine.bin
    check "$label: plain bytes equal" cmp -s plain.bin mine.bin
    rm -f ours.cp3
    check "$label: cp3tool encrypts" run cp3tool encrypt --key "$key" --algorithm "$alg" plain.bin ours.cp3
    check "$label: cp3tool file size" test "$(stat -c %s ours.cp3)" -eq $((76 + size + ($alg == 2 ? 15 : 7)))
    open_cp3 ours.cp3 "$alg" > theirs.bin
    check "$label: another implementation opens cp3tool's file" cmp -s plain.bin theirs.bin
    check "$label: headers agree but for the filler" cmp -s <(head -c 76 ours.cp3) <(head -c 76 theirs.cp3)
  done
done

# cp2: 20-byte header (chunk size, mode), the PersonalKey under itself, the body under it.
personal=ZQ123456
des_key=$(des_key_of "$personal")
for mode in 1 0; do
  head -c 700000 /dev/urandom > plain.bin
  {
    printf 'CP20'; le32 $chunk; le32 "$mode"; head -c 8 /dev/zero
    printf '%s' "$personal" | CIPHER_DES_KEY=$des_key cipher 1 enc
    tail -c +1 plain.bin | head -c $chunk | CIPHER_DES_KEY=$des_key cipher 1 enc
    { tail -c +$((chunk + 1)) plain.bin; [ "$mode" = 1 ] && printf '1234567'; } | CIPHER_DES_KEY=$des_key cipher 1 enc
  } > old.cp2
  rm -f old.bin
  check "cp2 mode $mode opens under the PersonalKey" run cp3tool decrypt --key "$personal" old.cp2 old.bin
  if [ "$mode" = 1 ]; then
    check "cp2 mode 1: filler dropped" cmp -s plain.bin old.bin
  else
    check "cp2 mode 0: every body byte kept" cmp -s <(cat plain.bin) <(head -c 700000 old.bin)
    check "cp2 mode 0: size" test "$(stat -c %s old.bin)" -eq 700000
  fi
  rm -f other.bin
  check "cp2 refuses another PersonalKey" not run cp3tool decrypt --key ZQ654321 old.cp2 other.bin
  check "cp2 refusal leaves no output" test ! -e other.bin
done

finish
