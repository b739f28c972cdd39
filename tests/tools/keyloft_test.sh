#!/usr/bin/env bash
# keyloft as a user runs it: preparing a key device, adding groups, changing
# the password; its messages and exit status, a settings file that is never
# half-written, and two runs at once on one device.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

wrong_password="入力したパスワードが間違っているかキー情報が不正です。"

# keyloft INPUT ARGS...: runs keyloft with INPUT (lines, "\n" between them)
# on standard input; its output and errors go to out.txt, with the line ends
# of a Windows console made plain.
keyloft() {
  local input=$1
  shift
  printf "$input" | run keyloft "$@" >out.txt 2>&1
  local status=$?
  sed -i 's/\r$//' out.txt
  return "$status"
}

# expect_refusal LABEL STATUS MESSAGE INPUT ARGS...: the exit status, the
# message, and the settings file as it was.
expect_refusal() {
  local label=$1 status=$2 message=$3 input=$4
  shift 4
  local before after=""
  before=$(md5sum dev/qevlink.ini 2>/dev/null)
  keyloft "$input" "$@"
  local got=$?
  check "$label: exit status $status (got $got)" test "$got" -eq "$status"
  check "$label: message '$message' (got '$(cat out.txt)')" grep -qF -- "$message" out.txt
  after=$(md5sum dev/qevlink.ini 2>/dev/null)
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

finish
