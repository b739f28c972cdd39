#!/usr/bin/env bash
# keyloft as a user runs it: preparing a key device, adding groups, changing
# the password, backing the key data up and restoring it; its messages and
# exit status, a settings file that is never half-written, and two runs at
# once on one device.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

wrong_password="入力したパスワードが間違っているかキー情報が不正です。"

# keyloft INPUT ARGS...: runs keyloft with INPUT (lines, "\n" between them)
# on standard input, in CP932 for the Windows build as a console gives it;
# its output and errors go to out.txt, with the line ends of a Windows
# console made plain. The last pipe ends only when every writer is done, the
# converter of the Windows build's errors included.
keyloft() {
  local input=$1
  shift
  printf "$input" | if [ -n "$KESTROVE_RUN" ]; then iconv -f utf-8 -t cp932; else cat; fi |
    run keyloft "$@" 2>&1 | cat >out.txt
  local status=${PIPESTATUS[2]}
  sed -i 's/\r$//' out.txt
  return "$status"
}

# expect_refusal LABEL STATUS MESSAGE INPUT ARGS...: the exit status, the
# message, and the settings file of $device (dev unless set) as it was.
device=dev
expect_refusal() {
  local label=$1 status=$2 message=$3 input=$4
  shift 4
  local before after=""
  before=$(md5sum "$device/qevlink.ini" 2>/dev/null)
  keyloft "$input" "$@"
  local got=$?
  check "$label: exit status $status (got $got)" test "$got" -eq "$status"
  check "$label: message '$message' (got '$(cat out.txt)')" grep -qF -- "$message" out.txt
  after=$(md5sum "$device/qevlink.ini" 2>/dev/null)
  check "$label: the settings file is unchanged" test "$before" = "$after"
}

only_settings_file() { test "$(ls -A dev)" = "qevlink.ini"; }
read_only() { case $(stat -c %A "$1") in -r-?r-?r-?) return 0 ;; *) return 1 ;; esac; }
settings_value() { tr -d '\r' <dev/qevlink.ini | sed -n "s/^$1=//p"; }

mkdir dev
check "create" keyloft 'abc123\n' create dev
check "create says so" grep -qF "キー情報を作成しました。" out.txt
check "KEYDATA holds 24 digits" grep -qE '^[0-9]{24}$' <<<"$(settings_value KEYDATA)"
check "REGDATA holds 24 digits" grep -qE '^[0-9]{24}$' <<<"$(settings_value REGDATA)"
check "the body cipher is chosen" test "$(settings_value ENCODE_TYPE)" = 2
check "the options have their defaults" test "$(settings_value APPINT_FOLDER)$(settings_value OVERWRITECHECK)$(settings_value FOLDERALL)$(settings_value FILEDEL)$(settings_value USEGROUPKEY)" = 01111
check "lines end in CR LF" grep -q $'\r$' dev/qevlink.ini
check "the settings file is read-only" read_only dev/qevlink.ini
check "nothing else is left on the device" only_settings_file

expect_refusal "create again" 1 "既にキー情報があります" 'abc123\n' create dev
first=$(settings_value KEYDATA)
check "create --force" keyloft 'zzz999\n' create dev --force
check "create --force makes new key data" test "$(settings_value KEYDATA)" != "$first"
check "create --force leaves nothing else" only_settings_file

mkdir fresh
for bad in 'abc12' 'abc1234' 'abc-12' ''; do
  expect_refusal "password '$bad'" 1 "パスワードは半角英数字6文字で入力してください。" "$bad\n" create fresh
done
check "no settings file after refused passwords" test -z "$(ls -A fresh)"
expect_refusal "no password at all" 1 "パスワードが入力されていません。" '' create fresh

# Groups
check "add a group with a fresh key" keyloft 'zzz999\n' add-group dev --name 営業
check "the fresh key is shown once" grep -qE "^グループキー：[0-9A-Za-z]{8}$" out.txt
check "add a group with a given key" keyloft 'zzz999\n' add-group dev --name 開発 --key 'Dev!key1'
check "GROUP_NUM counts them" test "$(settings_value GROUP_NUM)" = 2
keyloft '' list dev
check "list shows the groups in order" test "$(cat out.txt)" = $'1: 営業\n2: 開発'
check "list shows no secret" not grep -qE "Dev!key1|[0-9]{24}" out.txt
expect_refusal "wrong password" 1 "$wrong_password" 'abc123\n' add-group dev --name 総務
expect_refusal "a group of the same name" 1 "同じ名前のグループが既に登録されています。" 'zzz999\n' add-group dev --name 営業
expect_refusal "a key that is not 8 characters" 1 "キーは半角の英数字・記号8文字" 'zzz999\n' add-group dev --name 総務 --key short
expect_refusal "a name over 30 bytes" 1 "グループ名は1から30バイト" 'zzz999\n' add-group dev --name "$(printf 'n%.0s' {1..31})"
check "the groups are still read-only and alone" only_settings_file
check "read-only after adding groups" read_only dev/qevlink.ini

# Password change: the old one stops working, the groups stay.
check "passwd" keyloft 'zzz999\nnew456\n' passwd dev
expect_refusal "the old password after passwd" 1 "$wrong_password" 'zzz999\n' add-group dev --name 総務
check "the new password works" keyloft 'new456\n' add-group dev --name 総務
keyloft '' list dev
check "the groups survive passwd" test "$(cat out.txt)" = $'1: 営業\n2: 開発\n3: 総務'

# Two runs at once on one device: the device lock keeps both groups.
pids=()
for name in 人事 経理 法務; do
  printf 'new456\n' | run keyloft add-group dev --name "$name" >"out-$name.txt" 2>&1 &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
check "three runs at once all succeed" test "$status" -eq 0
keyloft '' list dev
for name in 人事 経理 法務; do
  check "group $name was kept" grep -qF ": $name" out.txt
done
check "six groups in all" test "$(settings_value GROUP_NUM)" = 6
check "nothing left beside the settings file" only_settings_file

# Backup: a byte-for-byte copy, only for the right password, never over a file.
expect_refusal "backup with a wrong password" 1 "$wrong_password" 'zzz999\n' backup dev dev.bak
check "a wrong password writes no backup" test -z "$(ls -A | grep '^dev\.bak')"
check "backup" keyloft 'new456\n' backup dev dev.bak
check "the backup is the settings file byte for byte" cmp -s dev/qevlink.ini dev.bak
echo old >kept.bak
expect_refusal "backup over an existing file" 1 "既にあります。上書きはしません。" 'new456\n' backup dev kept.bak
check "the existing file is untouched" test "$(cat kept.bak)" = old
check "nothing left beside the backups" test -z "$(ls -A | grep '~')"

# Restore onto an empty device, then onto one that holds key data.
mkdir spare
check "restore onto an empty device" keyloft 'new456\n' restore dev.bak spare
check "the restored settings file is the backup byte for byte" cmp -s dev.bak spare/qevlink.ini
check "the restored settings file is read-only" read_only spare/qevlink.ini
check "nothing else is left on the restored device" test "$(ls -A spare)" = qevlink.ini
device=spare
expect_refusal "restore onto the very same key data" 0 "既にこのバックアップと同じキー情報があります。" 'new456\n' restore dev.bak spare
expect_refusal "restore with a wrong password" 1 "$wrong_password" 'abc123\n' restore dev.bak spare
head -c $(($(stat -c %s dev.bak) - 5)) dev.bak >cut.bak
expect_refusal "restore of a backup cut short" 1 "バックアップファイルが壊れています。" 'new456\n' restore cut.bak spare
printf '[QEVLINK]\r\nKEYDATA=12\r\nREGDATA=001002003004005006007008\r\n' >bent.bak
expect_refusal "restore of a backup with a bent record" 1 "バックアップファイルが壊れています。" 'new456\n' restore bent.bak spare
printf 'PNG garbage\n' >junk.bak
expect_refusal "restore of a file that is no backup" 1 "キー情報のバックアップではありません。" 'new456\n' restore junk.bak spare

# The same user's key data, changed since the backup: the changes are named.
keyloft 'new456\n' add-group spare --name 新規
keyloft 'new456\nnew789\n' passwd spare
expect_refusal "restore over the same user's newer key data: no" 1 "復元を取りやめました。" 'new456\nn\n' restore dev.bak spare
check "the question says the same user's key data" grep -qF "バックアップと同じ利用者の別のキー情報があります。" out.txt
check "the question names the lost group" grep -qF "グループ「新規」がなくなります。" out.txt
check "the question names the password" grep -qF "パスワードがバックアップした時のものに戻ります。" out.txt
check "the question does not name kept groups" not grep -qF "営業" out.txt

# Another user's key data: replaced only on an explicit yes.
mkdir theirs
keyloft 'qwe456\n' create theirs
device=theirs
for answer in 'n\n' '' 'yes please\n'; do
  expect_refusal "restore over another user's key data, answer '$answer'" 1 "復元を取りやめました。" "new456\n$answer" restore dev.bak theirs
done
check "the question warns of another user's key data" grep -qF "別の利用者のキー情報があります。" out.txt
check "the question asks" grep -qF "上書きしますか？" out.txt
check "restore over another user's key data: はい" keyloft 'new456\nはい\n' restore dev.bak theirs
check "the other user's key data is replaced by the backup" cmp -s dev.bak theirs/qevlink.ini
check "nothing left on the device" test "$(ls -A theirs)" = qevlink.ini
device=dev

# Devices that are not prepared, and mistakes of use.
mkdir other
printf '\x89PNG garbage [[[ KEYDATA\n' >other/qevlink.ini
expect_refusal "a settings file that is not an INI file" 1 "キー情報がありません。" 'new456\n' add-group other --name x
keyloft '' list fresh
check "list of an unprepared device fails" test $? -eq 1
expect_refusal "a missing device" 1 "キーデバイスが見つかりません。" 'abc123\n' create nowhere
keyloft '' frobnicate dev
check "an unknown command is a usage error" test $? -eq 2
keyloft '' add-group dev
check "add-group without a name is a usage error" test $? -eq 2
keyloft '' backup dev
check "backup without a file is a usage error" test $? -eq 2

# A lost key device: a new one restored from the backup opens every file the
# old one encrypted, under the personal key and under a group key known only
# to the device. The Linux build's kestrove is the terminal front end that a
# script can drive.
if [ -z "$KESTROVE_RUN" ]; then
  mkdir lost docs
  export KESTROVE_DRIVES="E=$work/lost" KESTROVE_REGISTRY="$work/registry.reg"
  keyloft 'pass42\n' create lost
  keyloft 'pass42\n' add-group lost --name 営業部
  printf 'personal\n' >docs/p.txt
  printf 'group\n' >docs/g.txt
  cp -a docs plain
  printf '1\npass42\n1\n1\n' | run kestrove -E docs/p.txt >/dev/null 2>&1
  printf '2\n1\n' | run kestrove -E docs/g.txt >/dev/null 2>&1
  check "the group key marks one file" grep -q '^is_group: 1' <(run cp3tool info docs/g.txt.cp3)
  check "the personal key the other" grep -q '^is_group: 0' <(run cp3tool info docs/p.txt.cp3)
  check "backup of the device" keyloft 'pass42\n' backup lost lost.bak
  rm -rf lost
  mkdir replacement
  export KESTROVE_DRIVES="E=$work/replacement"
  check "restore onto a new device" keyloft 'pass42\n' restore lost.bak replacement
  run kestrove -D docs </dev/null >out.txt 2>&1
  status=$?
  check "the new device decrypts: exit 0 ($(cat out.txt))" test "$status" -eq 0
  check "the new device opens every file the old one encrypted" diff -r plain docs
fi

finish
