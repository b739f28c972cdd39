#!/usr/bin/env bash
# The main job on a fresh machine: builds the Linux programs, then encrypts a
# sample file into a cp3 file and opens it again, showing the header.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null

bin=$PWD/build/linux
demo=$(mktemp -d "${TMPDIR:-/tmp}/kestrove-demo.XXXXXX")
trap 'rm -rf "$demo"' EXIT
cd "$demo"

printf '見積書 2026年12月\n数量 12 / 単価 3,400円\n' > 見積書.txt
head -c 3000000 /dev/urandom > 図面.bin
key=DEMOKEY1

for f in 見積書.txt 図面.bin; do
  echo "== $f: encrypt (AES body) into $f.cp3"
  "$bin/cp3tool" encrypt --key "$key" --algorithm 2 "$f" "$f.cp3"
  "$bin/cp3tool" info "$f.cp3" | sed 's/^/   /'
  echo "== $f.cp3: decrypt"
  "$bin/cp3tool" decrypt --key "$key" "$f.cp3" "$f.back"
  cmp "$f" "$f.back" && echo "   identical to the original ($(stat -c %s "$f") bytes)"
done
echo "== with another key the file does not open:"
"$bin/cp3tool" decrypt --key OTHERKEY 見積書.txt.cp3 wrong.txt || echo "   (exit status $?)"
