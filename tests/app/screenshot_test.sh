#!/usr/bin/env bash
# Starts the real program on a virtual X screen and checks the picture of
# its window: the logo's blue band top left, the window's grey face, the
# bare screen outside it. Skips (77) when no virtual screen can be started.
#
#   screenshot_test.sh PROGRAM LINK_DIR [PICTURE]
set -uo pipefail
program=$1
linkdir=$2
picture=${3:-}

for tool in xvfb-run Xvfb import convert xwininfo; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (scripts/bootstrap installs it)"
    exit 77
  fi
done

work=$(mktemp -d /tmp/tallyshot.XXXXXX)
trap 'rm -rf "$work"' EXIT
# A copy of the program in a folder of its own, so that its settings file
# and day logs land there and not beside the build.
mkdir -p "$work/app"
cp "$program" "$work/app/tallydesk"
cp "$(dirname "$program")/NRV_LOGO.bmp" "$work/app/"
ln -s "$(cd "$linkdir" && pwd)" "$work/link"

cat >"$work/run.sh" <<'INNER'
#!/usr/bin/env bash
set -u
work=$1
unset QT_QPA_PLATFORM
"$work/app/tallydesk" >"$work/app.log" 2>&1 &
app=$!
for _ in $(seq 100); do
  xwininfo -root -tree 2>/dev/null | grep -q '950x660' && break
  sleep 0.1
done
sleep 0.5  # let the first paint finish
import -window root "$work/shot.png"
kill "$app" 2>/dev/null
wait "$app" 2>/dev/null
exit 0
INNER
chmod +x "$work/run.sh"

if ! timeout 60 xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" "$work/run.sh" "$work" \
     >"$work/xvfb.log" 2>&1 || [ ! -s "$work/shot.png" ]; then
  echo "SKIP: the virtual X screen could not be started or gave no picture:"
  cat "$work/xvfb.log" "$work/app.log" 2>/dev/null | head -20
  exit 77
fi
[ -n "$picture" ] && cp "$work/shot.png" "$picture"

pixel() { convert "$work/shot.png" -format "%[fx:int(255*p{$1,$2}.r)] %[fx:int(255*p{$1,$2}.g)] %[fx:int(255*p{$1,$2}.b)]" info:; }
fail=0
read -r r g b <<<"$(pixel 4 24)"        # the logo's band, left of the letters
if ! [ "$b" -gt 100 ] || ! [ "$b" -gt "$r" ]; then echo "logo not blue at 4,24: $r $g $b"; fail=1; fi
read -r r g b <<<"$(pixel 600 20)"      # the window face, right of the title
if [ "$r" -lt 150 ] || [ "$g" -lt 150 ]; then echo "window face not light at 600,20: $r $g $b"; fail=1; fi
read -r r g b <<<"$(pixel 1100 800)"    # outside the window
if [ "$r" -gt 40 ] || [ "$g" -gt 40 ] || [ "$b" -gt 40 ]; then echo "screen not bare at 1100,800: $r $g $b"; fail=1; fi
if [ "$fail" -ne 0 ]; then
  cat "$work/app.log"
  exit 1
fi
echo "window pictured"
