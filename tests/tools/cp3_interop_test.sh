#!/usr/bin/env bash
# cp3 and cp2 files made by another implementation of the format (openssl for
# the block ciphers, the shell for the layout) open with cp3tool, and cp3
# files made by cp3tool open with it, byte-exact, for every size class around
# the chunk boundary and both body ciphers.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

key=ABCDEFGH
chunk=524288
aes_key=$(printf '58203716%s' "$key" | od -An -tx1 | tr -d ' \n')
aes_iv=5c13a72e9041d86b07f33c88b51a64cf
filler=0123456789ABCDE

# The DES key block of a key text: bit 7 of each byte is the odd parity of bits 0-6.
des_key_of() {
  local text=$1 out="" i c ones bit
  for ((i = 0; i < 8; i++)); do
    if [ $i -lt ${#text} ]; then c=$(printf '%d' "'${text:$i:1}"); else c=0; fi
    c=$((c & 0x7f)); ones=0
    for ((bit = 0; bit < 7; bit++)); do ones=$((ones + ((c >> bit) & 1))); done
    [ $((ones % 2)) -eq 0 ] && c=$((c | 0x80))
    out+=$(printf '%02x' "$c")
  done
  echo "$out"
}
des_key=$(des_key_of "$key")

le32() { printf "\\x$(printf '%02x' $(($1 & 255)))\\x$(printf '%02x' $((($1 >> 8) & 255)))\\x$(printf '%02x' $((($1 >> 16) & 255)))\\x$(printf '%02x' $((($1 >> 24) & 255)))"; }

# cipher ALG enc|dec < in > out: one CBC chain over the whole blocks, the tail plain.
cipher() {
  local alg=$1 dir=$2 block tmp=$work/piece
  cat > "$tmp"
  local size; size=$(stat -c %s "$tmp")
  block=$([ "$alg" = 2 ] && echo 16 || echo 8)
  local whole=$((size / block * block))
  local flag=""; [ "$dir" = dec ] && flag=-d
  if [ "$whole" -gt 0 ]; then
    if [ "$alg" = 2 ]; then
      head -c "$whole" "$tmp" | openssl enc -aes-128-cbc $flag -nopad -K "$aes_key" -iv "$aes_iv"
    else
      head -c "$whole" "$tmp" | openssl enc -des-cbc -provider legacy -provider default $flag -nopad -K "$CIPHER_DES_KEY" -iv 0000000000000000
    fi
  fi
  tail -c +$((whole + 1)) "$tmp"
}

# make_cp3 PLAIN ALG > OUT, from the layout rules alone.
make_cp3() {
  local plain=$1 alg=$2 size digest fill
  size=$(stat -c %s "$plain")
  fill=$([ "$alg" = 2 ] && echo "$filler" || echo "${filler:0:7}")
  printf 'CP30'; le32 16; le32 68; le32 76
  le32 "$alg"; le32 8; le32 $chunk; le32 0; le32 $chunk
  if [ "$size" -gt 0 ]; then
    # The digest field is a zero-terminated string: bytes up to the first zero byte.
    digest=$(head -c $chunk "$plain" | md5sum | cut -c1-32)
    local out="" i byte
    for ((i = 0; i < 32; i += 2)); do byte=${digest:$i:2}; [ "$byte" = 00 ] && break; out+=$byte; done
    printf '%s' "$out" | xxd -r -p
    head -c $((32 - ${#out} / 2)) /dev/zero
  else
    head -c 32 /dev/zero
  fi
  printf '%s' "$key" | CIPHER_DES_KEY=$des_key cipher 1 enc
  local offset=0
  while :; do
    local n=$((size - offset)); [ $n -gt $chunk ] && n=$chunk
    if [ $n -eq $chunk ]; then
      tail -c +$((offset + 1)) "$plain" | head -c $chunk | CIPHER_DES_KEY=$des_key cipher "$alg" enc
      offset=$((offset + chunk))
    else
      { tail -c +$((offset + 1)) "$plain"; printf '%s' "$fill"; } | CIPHER_DES_KEY=$des_key cipher "$alg" enc
      break
    fi
  done
}

# open_cp3 FILE ALG > PLAIN: each piece of chunk bytes deciphered by itself, filler dropped.
open_cp3() {
  local file=$1 alg=$2 size body plain_size offset=0
  size=$(stat -c %s "$file")
  body=$((size - 76))
  plain_size=$((body - $([ "$alg" = 2 ] && echo 15 || echo 7)))
  while [ $offset -lt $body ]; do
    tail -c +$((76 + offset + 1)) "$file" | head -c $chunk | CIPHER_DES_KEY=$des_key cipher "$alg" dec
    offset=$((offset + chunk))
  done | head -c "$plain_size"
}

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
