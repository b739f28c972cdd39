#!/usr/bin/env bash
# A guided tour of kestrove.exe for a newcomer, under Wine in a virtual
# display: every window of an ordinary session once, each left as a PNG in
# TOUR_SHOTS, with one line per step saying what happens. Not a test of its
# own (the *_test.sh scenarios are), but it fails when the folder does not
# come back identical.
#   KESTROVE_BIN=build/windows TOUR_SHOTS=shots \
#     xvfb-run -a -s "-screen 0 1024x768x24" bash tests/gui/tour.sh
shots=$(realpath -m "${TOUR_SHOTS:-${KESTROVE_BIN:-.}/tour-shots}")
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
mkdir -p "$shots"

confirm="確認　- ケストローブ"
creation="キー作成　- ケストローブ"
unlock="ロックの解除　- ケストローブ"
options="オプション設定　- ケストローブ"
key_choice="暗号化キーの選択　- ケストローブ"
progress="ファイル変換　- ケストローブ"
overwrite="上書き確認　-ケストローブ"
destination="変換先フォルダ指定　- ケストローブ"
password=demo01

step_number=0
step() {
  step_number=$((step_number + 1))
  printf '%2d. %s\n' "$step_number" "$*"
}

# shot NAME [CAPTION]: a screenshot, cut to the window with that caption
# when it is found; without a caption (a popup menu) cut to what is drawn
# on the empty screen.
shot_count=0
shot() {
  local name=$1 caption=${2:-} pattern window WINDOW X Y WIDTH HEIGHT SCREEN
  shot_count=$((shot_count + 1))
  local file=$shots/$(printf '%02d' "$shot_count")-$name.png
  sleep 0.3   # the window has been found; let it paint
  import -window root "$work/screen.png" 2>/dev/null || return 0
  if [ -n "$caption" ]; then
    pattern="^$(printf '%s' "$caption" | sed 's/[][\.*^$(){}?+|]/\\&/g')\$"
    window=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | tail -1)
  fi
  if [ -n "${window:-}" ] && eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null)" && [ -n "${WIDTH:-}" ]; then
    convert "$work/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$file"
  elif [ -z "$caption" ]; then
    convert "$work/screen.png" -trim +repage -bordercolor black -border 8 "$file"
  else
    cp "$work/screen.png" "$file"
  fi
  echo "    -> $(basename "$file")"
}

eventually_file() { poll 100 test -f "$1"; }
menu_open() { driver windows | grep -q '#32768'; }

quietly() { "$@" >/dev/null; }

ended_with() {
  local want=$1 got
  got=$(program_exit_status 60)
  [ "$got" = "$want" ]
}

# ---- the demo key device and the sample folder
step "キーデバイス E: を作成します (パスワード demo01、グループ 営業部)"
check "keyloft prepares E:" make_key_device "$password" 営業部
step "サンプルフォルダ「書類」を用意します (小さな日本語名のファイル 2 つと 1 GB のファイル)"
mkdir -p 書類/見積
printf '見積書 2026年12月\r\n数量 12 / 単価 3,400円\r\n' >書類/見積/見積書.txt
printf '議事録\r\n出席者：営業部\r\n' >書類/議事録.txt
head -c 1000000000 /dev/zero >書類/大きな資料.bin  # long enough to see the progress dialog
(cd 書類 && find . -type f -exec md5sum {} + | sort -k2) >original.md5
# The work folder is also the drive D:, so that the paths read short.
ln -sfn "$work/files" "$prefix/dosdevices/d:"
documents='D:\書類'
same_as_original() { (cd 書類 && find . -type f -exec md5sum {} + | sort -k2) | cmp -s - original.md5; }

# ---- first start on this PC
step "初回起動: このパソコンにキー情報がないので、作成するか尋ねます"
start_program
check "the question is shown" quietly driver box "$confirm" 15000
shot question "$confirm"
driver answer "$confirm" 1 >/dev/null
step "キー作成ダイアログ (104) でパスワードを入力します"
check "dialog 104 is shown" driver wait "$creation"
driver set "$creation" 1007 "$password"
shot key-creation-104 "$creation"
driver click "$creation" 1
check "the key information is created" quietly driver answer "$confirm" 1
step "メインウィンドウ (101) が開きます"
check "the main window is shown" driver wait "$main_caption" 15000
shot main-window-101 "$main_caption"

# ---- lock and unlock
step "ロック: 「ロック設定/解除」で暗号化・復号化を禁止します"
driver click "$main_caption" 1025
check "the lock question" quietly driver answer "$confirm" 1
check "locked" quietly driver answer "$confirm" 1
step "ロック解除ダイアログ (108) で正しいパスワードを入力して解除します"
driver click "$main_caption" 1025
check "dialog 108 is shown" driver wait "$unlock"
driver set "$unlock" 1007 "$password"
shot unlock-108 "$unlock"
driver click "$unlock" 1
check "unlocked" test "$(driver answer "$confirm" 1)" = "ケストローブのロックを解除しました。"

# ---- the options of this PC
step "オプション設定 (110): SendTo、ダブルクリックで開く、保存時に暗号化、同じキー; 詳細と注意事項"
driver click "$main_caption" 1048
check "dialog 110 is shown" driver wait "$options"
for id in 1016 1017 1018; do driver click "$options" "$id"; done
shot options-110 "$options"
for page in 1024:detail-118 1040:detail-119 1053:cautions-120; do
  driver click "$options" "${page%%:*}"
  sleep 0.5
  shot "${page#*:}" "$options"
  driver click "$options" 2
  sleep 0.3
done
driver click "$options" 2   # closed without OK: the PC stays as it was
check "dialog 110 is closed" driver gone "$options"
driver click "$main_caption" 1040
check "the program ends" ended_with 0

# ---- a command-line encryption of the folder
step "kestrove.exe -E 書類: 暗号化キーの選択 (109) で 営業部 を選びます"
start_program -E "$documents"
check "dialog 109 is shown" driver wait "$key_choice" 15000
driver select "$key_choice" 1037 1
shot key-choice-109 "$key_choice"
driver click "$key_choice" 1
check "営業部 is confirmed" test "$(driver answer "$confirm" 1)" = "営業部を使用します。よろしいですか？"
step "進捗ダイアログ (9) が変換の様子を示し、終わると閉じます"
check "the progress dialog is shown" driver wait "$progress" 15000
shot progress-9 "$progress"
check "the encryption run ends the program" ended_with 0
check "the folder holds cp3 files only" test -z "$(find 書類 -type f ! -name '*.cp3')"

# ---- a command-line decryption over an existing file
step "kestrove.exe -D 書類: 同じ名前のファイルがあるので上書き確認 (124) が出ます"
printf '議事録\r\n出席者：営業部\r\n' >書類/議事録.txt
start_program -D "$documents"
check "dialog 124 is shown" driver wait "$overwrite" 30000
shot overwrite-124 "$overwrite"
driver click "$overwrite" 1067
check "the decryption run ends the program" ended_with 0
step "復号化したフォルダが元と同じか比べます"
check "the folder decrypts identical to the original" same_as_original
same_as_original && echo "    元のフォルダと同一です"

# ---- the destination folder
step "「場所を指定できるようにする。」をオンにして、変換先フォルダ指定 (115) を使います"
mkdir -p 変換先
start_program
check "the main window is shown" driver wait "$main_caption" 15000
driver click "$main_caption" 1042
driver drop "$main_caption" 1008 'D:\書類\議事録.txt'
check "dialog 109 is shown" driver wait "$key_choice"
driver click "$key_choice" 1
driver answer "$confirm" 1 >/dev/null
check "dialog 115 is shown" driver wait "$destination"
driver set "$destination" 1041 'D:\変換先'
shot destination-115 "$destination"
driver click "$destination" 1
check "the file is encrypted into the destination" eventually_file 変換先/議事録.txt.cp3
driver click "$main_caption" 1042
driver click "$main_caption" 1040
check "the program ends" ended_with 0

# ---- a plain file argument: the popup menu
step "ファイルだけを渡して起動すると、暗号化か復号化かをメニュー (127) で尋ねます"
start_program 'D:\書類\見積\見積書.txt'
check "the menu is shown" poll 100 menu_open
shot operation-menu-127
step "メニューはキャンセルします: プログラムはそのまま終わります"
check "the menu is cancelled" driver menu-cancel
check "the program ends (early, status 1)" ended_with 1
finish
