#!/usr/bin/env bash
# Starts Tavelo as a new user would (a fresh settings folder) under a display
# of its own and drives it through its test script hook: a project made from
# the sample footage (the footage library's own dialog answered by typing),
# the view painting its frame, the cache settings dialog opened from its
# command, the project saved; then opened through File > Open (the file
# dialog answered by the hook, and once more the window system's own dialog
# answered by synthesised typing) and by a drop on the main window, the title
# and the undo texts after an edit, the save question on closing answered
# Cancel and then No, and the main frame's areas on the screen. Then a second
# start reads the layout the first one stored.
# Usage: program_test.sh SCRIPTED_PROGRAM TESTS_FOLDER, where the program is
# the test build that carries the script hook (TaveloScripted).
set -euo pipefail
program=$1
tests=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
cp "$tests/data/sample.bmp" "$work/sample.bmp"

run() {
  TAVELO_TEST_SCRIPT=$1 timeout 120 xvfb-run -a -s '-screen 0 1280x1024x24' "$program"
}

# Runs the program on script $1 while the keyboard answers the window
# system's own dialog titled $3 (default "Open Project") with the path $2.
# Keys go to whichever window has the focus, and on a loaded machine the
# program may take it back while the path is typed; so the path is typed
# again (replacing what the field holds) until the dialog closes.
run_typing() {
  cat > "$work/drive.sh" <<DRIVE
export GSETTINGS_BACKEND=memory
TAVELO_TEST_SCRIPT=$1 "$program" &
pid=\$!
title='${3:-Open Project}'
dialog=\$(timeout 60 xdotool search --sync --onlyvisible --name "\$title" | head -1)
for attempt in 1 2 3 4 5; do
  sleep 1
  xdotool windowfocus --sync "\$dialog" 2>/dev/null || xdotool windowfocus "\$dialog"
  xdotool key ctrl+l ctrl+a
  xdotool type --delay 20 '$2'
  sleep 0.5
  xdotool key Return
  for tick in \$(seq 50); do
    xdotool search --onlyvisible --name "\$title" > /dev/null || break 2
    sleep 0.2
  done
done
wait \$pid
DRIVE
  timeout 120 xvfb-run -a -s '-screen 0 1280x1024x24' bash "$work/drive.sh" 2> >(grep -v XGetInputFocus >&2)
}

# A project made from the sample footage: the footage library's own "Open
# Footage" dialog answered by typing; the view paints the footage (display
# type 3, the background only); the cache settings dialog opens from its
# command; the project is saved.
cat > "$work/make.txt" <<SCRIPT
expect-title Tavelo
command 57600
expect-title (Untitled) * - Tavelo
command 33234
expect-view-frame $work/view.xwd
command 33127
expect-window Cache Settings
dialog $work/sample.tvp
command 57603
expect-title sample - Tavelo
close
SCRIPT
run_typing "$work/make.txt" "$work/sample.bmp" "Open Footage"

cat > "$work/first.txt" <<SCRIPT
expect-title Tavelo
expect-enabled 57602 0
expect-menu 57643 Undo \tCtrl+Z
dialog $work/sample.tvp
key 79 2
expect-title sample - Tavelo
edit
expect-title sample * - Tavelo
expect-menu 57643 Undo Change Export Inaccuracy\tCtrl+Z
expect-enabled 57643 1
command 57643
expect-menu 57644 Redo Change Export Inaccuracy\tCtrl+Shift+Z
expect-menu 57643 Undo \tCtrl+Z
command 57644
answer no
command 57602
drop $work/sample.tvp
expect-title sample - Tavelo
command 33234
expect-view-frame $work/view2.xwd
expect-layout $work/screen.xwd
edit
answer cancel
close
expect-message The project has been modified.\nDo you want to save the changes?
expect-title sample * - Tavelo
command 50048
answer no
close
SCRIPT
run "$work/first.txt"

# The second start finds the stored layout (right panels hidden) and the
# recent file.
cat > "$work/second.txt" <<SCRIPT
expect-title Tavelo
expect-menu 57616 &1 sample.tvp
expect-layout $work/screen2.xwd
close
SCRIPT
run "$work/second.txt"
grep -q 'RightBarVisible' -r "$XDG_CONFIG_HOME/Norvane/Tavelo/Layout"

# File > Open through the window system's own dialog, answered by typing.
printf 'native-dialogs\nexpect-title Tavelo\nkey 79 2\nexpect-title sample - Tavelo\nclose\n' > "$work/typed.txt"
run_typing "$work/typed.txt" "$work/sample.tvp"

# A settings store that cannot be written: the program starts with the
# defaults, tells the user once, and ends cleanly.
printf 'expect-title Tavelo\nanswer ok\nanswer ok\ncommand 20002\nexpect-message %s\nanswer ok\ncommand 20001\nclose\n' \
  "Tavelo's settings could not be stored; the defaults will be used at the next start." > "$work/readonly.txt"
touch "$work/not-a-folder"
XDG_CONFIG_HOME=$work/not-a-folder run "$work/readonly.txt"

# A fault on the UI thread writes its crash report and ends the program
# instead of resuming.
printf 'fault\nclose\n' > "$work/fault.txt"
# (Sanitizer builds leave the fault signal to the program's own handler.)
if ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}handle_segv=0:allow_user_segv_handler=1" \
  run "$work/fault.txt" > "$work/fault.out" 2>&1; then
  echo "the program went on after a fault"; exit 1
fi
ls "$XDG_STATE_HOME/Norvane/Tavelo/"crash-*.txt > /dev/null
echo "program test passed"
