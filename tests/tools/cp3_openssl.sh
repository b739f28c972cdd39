# Another implementation of the cp3 and cp2 formats, for the tests: openssl
# does the block ciphers, the shell the layout and the chaining rules.
#   make_cp3 PLAIN ALG > FILE      open_cp3 FILE ALG > PLAIN
#   cipher ALG enc|dec < in > out  (CIPHER_DES_KEY set)
# Set `key` (8 characters) before sourcing, or call use_key KEY.

key=${key:-ABCDEFGH}
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

# use_key KEY: the key of the files made and opened from now on.
use_key() {
  key=$1
  aes_key=$(printf '58203716%s' "$key" | od -An -tx1 | tr -d ' \n')
  des_key=$(des_key_of "$key")
}

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

