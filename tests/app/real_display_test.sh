#!/bin/sh
# Starts the real program on an X server (Xvfb) with an empty home, closes it
# with Ctrl+Q as a user would, and checks the settings file it wrote.
#   real_display_test.sh EXECUTABLE LANGUAGE_FOLDER
set -eu

# The part that runs on the display: $2 is the folder the copy runs from.
if [ "${1:-}" = --on-display ]; then
    folder=$2
    # A window that never closes ends the test instead of hanging it.
    timeout 30 "$folder/quorbit" &
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
executable=$1
languages=$2

# The program keeps its settings beside itself when that folder is writable,
# so a copy runs from the fresh folder that is also its home.
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$executable" "$folder/quorbit"
cp -R "$languages" "$folder/language"
mkdir -m 700 "$folder/.config" "$folder/runtime"

HOME=$folder XDG_CONFIG_HOME=$folder/.config XDG_RUNTIME_DIR=$folder/runtime QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" --on-display "$folder"

settings=$folder/quorbit.ini
if [ ! -f "$settings" ]; then
    echo "FAIL: no settings file was written beside the program"
    ls -la "$folder"
    exit 1
fi
for line in "[Options]" "Language=English"; do
    if ! grep -qxF "$line" "$settings"; then
        echo "FAIL: $settings has no line \"$line\":"
        cat "$settings"
        exit 1
    fi
done
echo "PASS: the window closed with Ctrl+Q and saved its settings"
