# Shared by the scenarios that drive the program's windows under Wine
# (tests/gui/*_test.sh, each run inside its own xvfb-run). A scenario gets a
# private Wine prefix copied from a template that is booted once per build,
# a fresh folder behind the removable drive E:, and helpers to start the
# program, drive its windows and record checks. A scenario that drives
# another program than kestrove sets gui_program before sourcing this file.
set -uo pipefail

: "${KESTROVE_BIN:?set by ctest}"
: "${DISPLAY:?run inside xvfb-run}"
gui_program=${gui_program:-kestrove}
main_caption="■ケストローブ■v1.06B"   # the program's main window
scenario=$(basename "$0" .sh)
scenario=${scenario%_test}

failures=0
passes=0

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

program_exe=$KESTROVE_BIN/$gui_program.exe
driver_exe=$KESTROVE_BIN/kestrove_gui_driver.exe
screenshots=$KESTROVE_BIN/gui-screenshots
template=$KESTROVE_BIN/gui-prefix-template

for exe in "$program_exe" "$driver_exe"; do
  if [ ! -f "$exe" ]; then
    echo "FAILED: $exe is not built; scenario '$scenario' cannot run" >&2
    echo "0 passed, 1 failed"
    exit 1
  fi
done

wine_env() {
  export WINEPREFIX=$1 HOME=$1/home WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 \
         WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
}

# The template: booted once per build (one scenario boots it, the others
# wait), with the drive E: known as a floppy and no stall when a window
# closes without a window manager. The user folders that Wine links into
# HOME become plain folders, so that a copy holds no link back into it.
make_template() (
  flock 9
  [ -f "$template/.ready" ] && exit 0
  rm -rf "$template"
  mkdir -p "$template/home"
  wine_env "$template"
  "$wine" wineboot -i >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || exit 1
  "$wine" reg add 'HKLM\Software\Wine\Drives' /v e: /d floppy /f >/dev/null 2>&1 || exit 1
  "$wineserver" -k 2>/dev/null
  "$wineserver" -w
  find "$template/drive_c/users" -type l | while read -r link; do
    case $(readlink "$link") in
      /*) rm -f "$link" && mkdir -p "$link" ;;
    esac
  done
  touch "$template/.ready"
) 9>"$template.lock"

mkdir -p "$KESTROVE_BIN/gui-run" "$screenshots"
rm -f "$screenshots/$scenario"-*.png   # from an earlier run of this scenario
work=$(mktemp -d "$KESTROVE_BIN/gui-run/$scenario.XXXXXX")
prefix=$work/prefix
device=$work/device   # the folder behind E:
idle_pid=
program_pid=
screenshot_count=0

cleanup() {
  [ -n "$idle_pid" ] && kill "$idle_pid" 2>/dev/null
  "$wineserver" -k 2>/dev/null
  "$wineserver" -w 2>/dev/null
  [ -n "$program_pid" ] && wait "$program_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if ! make_template; then
  echo "FAILED: the Wine prefix template could not be booted" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
cp -a "$template" "$prefix"
rm -f "$prefix/.ready"
mkdir -p "$device" "$work/files"
ln -sfn "$device" "$prefix/dosdevices/e:"
wine_env "$prefix"
# start_wine: a new Wine server (it reads the drive list when it starts),
# and one Wine process that lives as long as the scenario to keep the server
# and Wine's services up: each later start then costs a fraction of a
# second. The services are started first by a run of our own with no
# output: they keep the standard handles of the process that started them,
# and a pipe that a script reads would never close.
start_wine() {
  [ -n "$idle_pid" ] && kill "$idle_pid" 2>/dev/null
  "$wineserver" -k 2>/dev/null
  "$wineserver" -w 2>/dev/null
  "$wine" "$driver_exe" windows >/dev/null 2>&1 </dev/null
  "$wine" "$driver_exe" idle 900 >/dev/null 2>&1 </dev/null &
  idle_pid=$!
}
start_wine
cd "$work/files"

# winpath PATH: the Windows form of a Linux path (Z:\...), as a program of
# the prefix sees it.
winpath() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s\n' "${path//\//\\}"
}

# driver COMMAND ARGS...: runs the window driver (see driver.cpp); its output
# is UTF-8.
driver() { "$wine" "$driver_exe" "$@"; }

# make_key_device PASSWORD [GROUP...]: prepares the device behind E: with
# keyloft, with the given groups.
make_key_device() {
  local password=$1 group out
  shift
  if ! out=$(printf '%s\n%s\n' "$password" "$password" | "$wine" "$KESTROVE_BIN/keyloft.exe" create 'E:\' 2>&1); then
    echo "make_key_device: keyloft create failed: $(iconv -f cp932 -t utf-8 <<<"$out")" >&2
    return 1
  fi
  for group in "$@"; do
    if ! out=$(printf '%s\n' "$password" | "$wine" "$KESTROVE_BIN/keyloft.exe" add-group 'E:\' --name "$group" 2>&1); then
      echo "make_key_device: keyloft add-group $group failed: $(iconv -f cp932 -t utf-8 <<<"$out")" >&2
      return 1
    fi
  done
}

# start_program ARGS...: starts the program in the background; its output
# goes to program.log in the work folder.
start_program() {
  rm -f "$work/program.status"
  ( "$wine" "$program_exe" "$@" >>"$work/program.log" 2>&1; echo $? >"$work/program.status" ) &
  program_pid=$!
}

# program_exit_status [SECONDS]: waits for the program (default 20 s), then
# prints its exit status and returns it; "timeout" and 124 if it still runs.
program_exit_status() {
  local limit=$(( ${1:-20} * 10 )) i=0
  while [ ! -s "$work/program.status" ]; do
    if [ "$i" -ge "$limit" ]; then
      echo timeout
      return 124
    fi
    sleep 0.1
    i=$((i + 1))
  done
  local status
  status=$(cat "$work/program.status")
  echo "$status"
  return "$status"
}

# A failed check leaves a screenshot and the list of windows in the log.
report_failure() {
  screenshot_count=$((screenshot_count + 1))
  local shot=$screenshots/$scenario-$screenshot_count.png
  import -window root "$shot" 2>/dev/null && echo "  screenshot: $shot" >&2
  echo "  windows:" >&2
  driver windows 2>&1 | sed 's/^/    /' >&2
  if [ -s "$work/program.log" ]; then
    echo "  program output (last lines):" >&2
    tail -n 5 "$work/program.log" | iconv -f cp932 -t utf-8 -c | sed 's/^/    /' >&2
  fi
}

check() {
  local label=$1
  shift
  if "$@"; then
    passes=$((passes + 1))
  else
    echo "FAILED: $label" >&2
    failures=$((failures + 1))
    report_failure
  fi
}

# expect_text CAPTION ID TEXT: the control shows TEXT, within a few seconds
# (the program may still be working on the last action).
expect_text() {
  local caption=$1 id=$2 text=$3 got="" i
  for i in $(seq 1 25); do
    got=$(driver text "$caption" "$id" 2>&1) && [ "$got" = "$text" ] && break
    sleep 0.2
  done
  check "text of $id in '$caption' is '$text' (got '$got')" test "$got" = "$text"
}

# expect_box CAPTION TEXT BUTTON: a message box with CAPTION says TEXT; it is
# answered with BUTTON (1 OK, 2 Cancel, 4 Retry, 6 Yes, 7 No) either way, so
# the program goes on.
expect_box() {
  local caption=$1 text=$2 button=$3 got
  got=$(driver answer "$caption" "$button" 2>&1)
  check "message box '$caption' says '$text' (got '$got')" test "$got" = "$text"
}

finish() {
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}

# not COMMAND...: succeeds when the command fails.
not() { ! "$@"; }

# Captions every kestrove scenario meets.
question="確認　- ケストローブ"
key_choice="暗号化キーの選択　- ケストローブ"

# make_pc_key: the key device (password $password) with a group, and the
# PC's key information made at the first start (question, then dialog 104),
# as a user does.
make_pc_key() {
  make_key_device "$password" 営業部 || return 1
  start_program
  driver answer "$question" 1 >/dev/null &&
    driver wait "キー作成　- ケストローブ" &&
    driver set "キー作成　- ケストローブ" 1007 "$password" &&
    driver click "キー作成　- ケストローブ" 1 &&
    driver answer "$question" 1 >/dev/null &&
    driver wait "$main_caption" &&
    driver close "$main_caption" &&
    [ "$(program_exit_status)" = 0 ]
}

# choose_personal_key: answers the key choice of an encryption with 個人キー.
choose_personal_key() {
  driver wait "$key_choice" 20000 &&
    driver select "$key_choice" 1037 0 &&
    driver click "$key_choice" 1 &&
    [ "$(driver answer "$question" 1)" = "個人キーを使用します。よろしいですか？" ]
}

# poll TIMES COMMAND...: the command succeeds within TIMES tries 0.1 s apart.
poll() {
  local times=$1 i
  shift
  for i in $(seq 1 "$times"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# eventually COMMAND...: the command succeeds within about 5 s.
eventually() { poll 50 "$@"; }

# prints TEXT COMMAND...: what the command prints (errors included) is TEXT.
prints() { local want=$1; shift; [ "$("$@" 2>&1)" = "$want" ]; }

# ini_value SECTION KEY: the value in the settings file on E:, or nothing.
ini_value() {
  iconv -f cp932 -t utf-8 "$device/qevlink.ini" | tr -d '\r' |
    awk -v section="[$1]" -v key="$2" '/^\[/ { inside = ($0 == section) } inside && index($0, key "=") == 1 { print substr($0, length(key) + 2) }'
}

# repeated FILE N: the file's content N times (large test files made fast).
repeated() { local i; for i in $(seq "$2"); do cat "$1"; done; }

# ---- the PC's shell integration: registry values and shortcut files

# unix_folder VARIABLE REST: a folder of the prefix from a Windows
# environment variable (%APPDATA%, %ProgramData%) and the rest of its path.
unix_folder() {
  local base
  base=$("$wine" cmd /c echo "%$1%" </dev/null | tr -d '\r')
  printf '%s/%s\n' "$("$wine" winepath -u "$base" 2>/dev/null)" "$2"
}
# reg_value KEY [NAME]: the value (the default value without NAME) if it is
# a REG_SZ; fails when the key is missing.
reg_value() {
  local out which=(/ve)
  [ $# -ge 2 ] && which=(/v "$2")
  out=$("$wine" reg query "$1" "${which[@]}" 2>/dev/null) || return 1
  iconv -f cp932 -t utf-8 <<<"$out" | tr -d '\r' | sed -n 's/^    [^ ]*    REG_SZ    //p'
}
has_default() { [ "$(reg_value "$1")" = "$2" ]; }
key_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }

# lnk_fields FILE: what a shell link holds, one NAME=VALUE line each: target
# (the local path of its link information), workdir, arguments, icon, show
# (the window's show command).
lnk_fields() {
  local -a b
  read -r -a b < <(od -An -v -tu1 "$1" | tr -s ' \n' '  ')
  u16() { echo $((b[$1] | b[$1 + 1] << 8)); }
  u32() { echo $((b[$1] | b[$1 + 1] << 8 | b[$1 + 2] << 16 | b[$1 + 3] << 24)); }
  local flags pos i text hex
  flags=$(u32 20)
  echo "show=$(u32 60)"
  pos=76
  ((flags & 0x1)) && pos=$((pos + 2 + $(u16 $pos)))
  if ((flags & 0x2)); then
    text=
    for ((i = pos + $(u32 $((pos + 16))); b[i] != 0; i++)); do printf -v hex '\\x%02x' "${b[i]}" && text+=$hex; done
    echo "target=$(printf '%b' "$text" | iconv -f cp932 -t utf-8)"
    pos=$((pos + $(u32 $pos)))
  fi
  local bit name count width
  ((width = flags & 0x80 ? 2 : 1))
  for bit in 0x4:name 0x8:relative 0x10:workdir 0x20:arguments 0x40:icon; do
    name=${bit#*:}
    ((flags & ${bit%%:*})) || continue
    count=$(u16 $pos)
    text=
    for ((i = pos + 2; i < pos + 2 + count * width; i++)); do printf -v hex '\\x%02x' "${b[i]}" && text+=$hex; done
    pos=$((pos + 2 + count * width))
    [ "$width" = 2 ] && text=$(printf '%b' "$text" | iconv -f utf-16le -t utf-8 | tr -d '\0') ||
      text=$(printf '%b' "$text" | tr -d '\0')
    echo "$name=$text"
  done
}
lnk_field() { lnk_fields "$1" | sed -n "s/^$2=//p"; }
