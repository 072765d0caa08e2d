#!/usr/bin/env bash
# Starts the real executable under a real X server and window manager and checks that a
# window titled "Tandrel" appears; the data written lands in a private folder.
set -euo pipefail
exe="$1"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

"$exe" >"$home/tandrel.log" 2>&1 &
app=$!
found=""
for _ in $(seq 150); do
    found=$(xdotool search --name '^Tandrel$' 2>/dev/null | head -n1 || true)
    [ -n "$found" ] && break
    sleep 0.1
done
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
if [ -z "$found" ]; then
    echo "no window titled Tandrel appeared" >&2
    cat "$home/tandrel.log" >&2
    exit 1
fi
[ -f "$XDG_DATA_HOME/Tandrel/preferences.sqlite" ] || { echo "the workspace was not stored" >&2; exit 1; }
echo "window $found titled Tandrel"
