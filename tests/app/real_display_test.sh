#!/bin/sh
# Starts the real program on an X server (Xvfb) with an empty home, closes it
# with Ctrl+Q as a user would, and checks the settings file it wrote: beside a
# portable program, in the user's folder for an installed one.
#   real_display_test.sh EXECUTABLE LANGUAGE_FOLDER
#   real_display_test.sh --installed PREFIX
set -eu

# The part that runs on the display: $2 is the program to start.
if [ "${1:-}" = --on-display ]; then
    # A window that never closes ends the test instead of hanging it.
    timeout 30 "$2" &
    program=$!
    if ! windows=$(timeout 20 xdotool search --sync --onlyvisible --name Quorbit); then
        echo "FAIL: no Quorbit window appeared within 20 s"
        kill "$program" 2>/dev/null || true
        exit 1
    fi
    window=$(printf '%s\n' "$windows" | head -n 1)
    # With no window manager nothing gives the window the focus; its shortcuts
    # only answer keys typed into the focused window, as a user's are.
    xdotool windowfocus --sync "$window"
    xdotool key ctrl+q
    status=0
    wait "$program" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "FAIL: Quorbit ended with exit code $status after Ctrl+Q"
        exit 1
    fi
    exit 0
fi

for tool in xvfb-run xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done
# The copy runs from a fresh folder that is also its home. A portable program
# keeps its settings beside itself when that folder is writable; an installed
# one, found by its language files under share/quorbit/, never does.
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
if [ "$1" = --installed ]; then
    cp -R "$2/bin" "$2/share" "$folder/"
    program=$folder/bin/quorbit
    settings=$folder/.config/quorbit/quorbit.ini
    never=$folder/bin/quorbit.ini
else
    cp "$1" "$folder/quorbit"
    cp -R "$2" "$folder/language"
    program=$folder/quorbit
    settings=$folder/quorbit.ini
    never=$folder/.config/quorbit/quorbit.ini
fi
mkdir -m 700 "$folder/.config" "$folder/runtime"

HOME=$folder XDG_CONFIG_HOME=$folder/.config XDG_RUNTIME_DIR=$folder/runtime QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" --on-display "$program"

if [ ! -f "$settings" ] || [ -e "$never" ]; then
    echo "FAIL: the settings were not written to $settings alone"
    find "$folder" -name quorbit.ini
    exit 1
fi
for line in "[Options]" "Language=English"; do
    if ! grep -qxF "$line" "$settings"; then
        echo "FAIL: $settings has no line \"$line\":"
        cat "$settings"
        exit 1
    fi
done
echo "PASS: the window closed with Ctrl+Q and saved its settings in $settings"
