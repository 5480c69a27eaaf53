#!/usr/bin/env bash
# Takes a picture of the demo's main window: run inside an X server (make screenshot runs it
# under xvfb-run). The demo's settings place the window at the top left corner at 980 x 440.
#   screenshot.sh <demo folder> <png>
set -euo pipefail
demo=$1
png=$2
full=$(mktemp --suffix=.png)
"$demo/Tarnwick" &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -f "$full"' EXIT
sleep "${SCREENSHOT_WAIT:-5}"
kill -0 $pid
import -window root "$full"
mkdir -p "$(dirname "$png")"
convert "$full" -crop 980x440+0+0 +repage "$png"
echo "Screenshot: $png"
