#!/usr/bin/env bash
# The main job on a fresh machine, end to end:
#  1. builds the Linux programs;
#  2. prepares a demo key device with keyloft (a folder mapped as the
#     removable drive E:, password "demo01", and a group key "営業部");
#  3. encrypts a sample folder with kestrove: the first run registers this PC
#     (the password proves the device is yours), then asks which key to use;
#  4. decrypts the folder again and compares it with the original;
#  5. builds the Windows program and takes it on a guided tour under Wine in
#     a virtual display (Xvfb, no screen needed): the first start on a new
#     PC, the main window, lock and unlock, the key choice, the progress and
#     overwrite dialogs, the destination folder and the popup menu, leaving a
#     screenshot of each in build/demo-screenshots/.
# Everything happens in a temporary folder, with a private registry file;
# the answers to the program's questions come from this script.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null
bin=$PWD/build/linux

demo=$(mktemp -d "${TMPDIR:-/tmp}/kestrove-demo.XXXXXX")
trap 'rm -rf "$demo"' EXIT
mkdir -p "$demo/usb" "$demo/書類/見積"
export KESTROVE_DRIVES="E=$demo/usb" KESTROVE_REGISTRY="$demo/registry.reg"
cd "$demo"

step() { printf '\n\033[1m== %s\033[0m\n' "$*"; }

step "keyloft: a demo key device on E: (password demo01)"
printf 'demo01\ndemo01\n' | "$bin/keyloft" create usb
printf 'demo01\n' | "$bin/keyloft" add-group usb --name 営業部 --key SALES123 >/dev/null
"$bin/keyloft" list usb

step "a sample folder"
printf '見積書 2026年12月\n数量 12 / 単価 3,400円\n' > 書類/見積/見積書.txt
head -c 3000000 /dev/urandom > 書類/図面.bin
printf 'メモ\n' > 書類/memo.txt
cp -a 書類 original
find 書類 -type f | sort

step "kestrove -E 書類  (answers: create the PC key: OK, password, key 1 = 個人キー, OK)"
printf '1\ndemo01\n1\n1\n' | "$bin/kestrove" -E 書類
find 書類 -type f | sort

step "kestrove -D 書類"
"$bin/kestrove" -D 書類 </dev/null
find 書類 -type f | sort
diff -r original 書類 && echo "the decrypted folder is identical to the original"

step "the Windows program: kestrove.exe under Wine, in a virtual display"
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows --target kestrove keyloft cp3tool kestrove_gui_driver >/dev/null
shots=$root/build/demo-screenshots
rm -rf "$shots" && mkdir -p "$shots"
KESTROVE_BIN=$root/build/windows TOUR_SHOTS=$shots \
  xvfb-run -a -s "-screen 0 1024x768x24" bash tests/gui/tour.sh
echo
echo "screenshots of every window of the tour: $shots"
ls "$shots"
