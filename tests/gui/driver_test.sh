#!/usr/bin/env bash
# The window driver itself, on the probe dialog: each command once, with
# Japanese texts and file names, so that a fault in the machinery shows here
# and not as a puzzling failure of a program scenario.
gui_program=kestrove_gui_probe
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

probe="■プローブ■"
status=106

quietly() { "$@" 2>/dev/null; }

start_program
check "wait finds the probe" driver wait "$probe" 20000
check "wait gives up on a caption that is not shown" not quietly driver wait "■ない■" 200
check "windows lists the probe" eval 'driver windows | grep -qF "#32770 \"$probe\""'

check "text reads the edit" prints "初期値" driver text "$probe" 101
check "set writes the edit" driver set "$probe" 101 "書き換え：表示ソフト"
expect_text "$probe" 101 "書き換え：表示ソフト"

check "checked is 0 at first" prints 0 driver checked "$probe" 102
check "click presses the check box" driver click "$probe" 102
check "the check box toggled" eventually prints 1 driver checked "$probe" 102
check "enabled" prints 1 driver enabled "$probe" 104

# The box shares the probe's caption: the driver must take the box, and the
# probe's own controls must not pass for one.
check "no box before the button" not quietly driver box "$probe" 300
check "click opens the message box" driver click "$probe" 104
boxes() { [ "$(driver windows | grep -cF "#32770 \"$probe\"")" = "$1" ]; }
check "the probe opens a second box over the first" eventually boxes 3
check "box reads the foremost of two boxes" prints "二つ目の箱" driver box "$probe"
check "answer presses the foremost box's button" prints "二つ目の箱" driver answer "$probe" 1
expect_box "$probe" "表示テスト：ソフト予定" 2
expect_text "$probe" $status "答え 2"

check "list reads the lines" prints $'一覧表\nソフト\n予定' driver list "$probe" 103
check "select chooses a line" driver select "$probe" 103 2
expect_text "$probe" $status "選択 2 予定"

first=$(winpath "$work/files/表示.txt")
second=$(winpath "$work/files/ソフト 予定.cp3")
check "drop posts the files" driver drop "$probe" 105 "$first" "$second"
expect_text "$probe" $status "$first|$second"
check "drop refuses a control that takes no files" not quietly driver drop "$probe" 101 "$first"

check "rclick opens the context menu" driver rclick "$probe" 103
check "menu chooses the second item" driver menu "$probe" 1
expect_text "$probe" $status "メニュー 202"
driver rclick "$probe" 103
check "menu-cancel closes the menu" driver menu-cancel
expect_text "$probe" $status "メニュー 202"

check "close asks the probe to close" driver close "$probe"
check "gone sees it go" driver gone "$probe"
check "the probe ends well after the drop" prints 0 program_exit_status

finish
