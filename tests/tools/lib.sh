# Shared by the whole-program tests: how to run a program of the build under
# test (natively, or under Wine for the Windows build), and a work folder.
# Programs are run from inside the work folder with relative names, which
# mean the same on both systems.
set -uo pipefail

: "${KESTROVE_BIN:?set by ctest}"
KESTROVE_EXE_SUFFIX=${KESTROVE_EXE_SUFFIX:-}
KESTROVE_RUN=${KESTROVE_RUN:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrove-tool-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
passes=0

# run PROGRAM ARGS...: runs a program of the build; its output is converted
# from CP932 on Windows (the console code page), natively it is already UTF-8.
run() {
  local program=$1
  shift
  if [ -n "$KESTROVE_RUN" ]; then
    "$KESTROVE_RUN" "$KESTROVE_BIN/$program$KESTROVE_EXE_SUFFIX" "$@" 2> >(iconv -f cp932 -t utf-8 >&2) | iconv -f cp932 -t utf-8
    return "${PIPESTATUS[0]}"
  fi
  "$KESTROVE_BIN/$program" "$@"
}

check() {
  local label=$1
  shift
  if "$@"; then
    passes=$((passes + 1))
  else
    echo "FAILED: $label" >&2
    failures=$((failures + 1))
  fi
}

finish() {
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}

# not COMMAND...: succeeds when the command fails.
not() { ! "$@"; }
