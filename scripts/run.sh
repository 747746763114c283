#!/usr/bin/env bash
# `make run`: starts the Tarvela that was just built somewhere it cannot hurt.
#
# Inside a desktop session ($DISPLAY set): a nested sandbox display in a window
# of its own (Xephyr), with a panel and a few sample applications, and Tarvela
# managing it until the window is closed or Ctrl+C is pressed. Your own session
# and its window manager are left alone.
#
# Without any display: a private Xvfb display with a panel and sample
# applications, Tarvela on it, a short scripted tour (windows already open, a
# new window, focus moves, width changes) with a screenshot after each step in
# out/screenshots/, then everything is torn down.
#
# TARVELA_RUN_MODE=tour runs the headless tour even inside a session;
# TARVELA_RUN_MODE=sandbox forces the nested window. TARVELA_SANDBOX_SIZE sets the
# nested display's size (default 1600x900).
#
# Settings, runtime files and logs go to a fresh scratch folder: a run never
# reads or writes your own Tarvela settings.
set -euo pipefail

build=${1:-build}
shift || true
exe="$build/app/tarvela"
if [ ! -x "$exe" ]; then
  echo "run: $exe is not built (make build first)" >&2
  exit 1
fi
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
repo=$(cd "$(dirname "$0")/.." && pwd)

mode=${TARVELA_RUN_MODE:-}
if [ -z "$mode" ]; then
  if [ -n "${DISPLAY:-}" ]; then mode=sandbox; else mode=tour; fi
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvela-run-XXXXXX")
mkdir -p "$work/run" "$work/config" "$work/state"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
export TARVELA_DEFAULTS="$work/app.tarvela.plist"
log="$work/tarvela.log"

# Every process we start, in start order; torn down in reverse (clients first,
# the X server last).
pids=()
tarvela_pid=""
cleanup() {
  set +e
  if [ -n "$tarvela_pid" ] && kill -0 "$tarvela_pid" 2>/dev/null; then
    kill -TERM "$tarvela_pid"
    wait "$tarvela_pid" 2>/dev/null
  fi
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -TERM "${pids[i]}" 2>/dev/null
  done
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    wait "${pids[i]}" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Runs until `cond` succeeds or `seconds` pass (polling, for a script that
# waits on other programs). Returns the condition's last answer.
wait_until() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    if [ "$SECONDS" -ge "$deadline" ]; then return 1; fi
    sleep 0.05
  done
}

# Lines of Tarvela's log matching a pattern, and whether there are more than n.
lines() {
  local n
  n=$(grep -c "$1" "$log" 2>/dev/null)
  echo "${n:-0}"
}
more_lines_than() { [ "$(lines "$2")" -gt "$1" ]; }

# Starts an X server that picks its own free display and reports it on fd 3.
start_server() {
  local dfd="$work/displayfd"
  : >"$dfd"
  "$@" -displayfd 3 3>"$dfd" >"$work/xserver.log" 2>&1 &
  pids+=($!)
  if ! wait_until 15 test -s "$dfd"; then
    echo "run: the X server did not start; see below" >&2
    cat "$work/xserver.log" >&2
    exit 1
  fi
  DISPLAY=":$(head -n1 "$dfd")"
  export DISPLAY
}

spawn() {
  "$@" >/dev/null 2>&1 &
  pids+=($!)
}

sample_apps() {
  spawn xterm -geometry 80x24+40+80 -T "terminal" -e sh -c 'printf "This terminal is one column of the strip.\n\n"; exec sh'
  spawn xlogo -geometry 400x400+700+80
  spawn xeyes -geometry 300x200+1200+80
}

# tint2 shows itself once a window manager runs; its strut then shrinks the
# visible frame and Tarvela lays the strips out again.
panel() {
  if command -v tint2 >/dev/null; then
    local before
    before=$(lines '^\[Tarvela\] display 0 ')
    spawn tint2
    wait_until 10 has_dock || echo "run: the panel did not come up"
    wait_until 5 more_lines_than "$before" '^\[Tarvela\] display 0 ' || true
  else
    echo "run: no panel (apt-get install tint2 for one)"
  fi
}

# A private session bus for Tarvela's tray item (and nothing of the user's).
session_bus() {
  if ! command -v dbus-daemon >/dev/null; then return; fi
  local out
  out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
  DBUS_SESSION_BUS_ADDRESS=$(echo "$out" | sed -n 1p)
  export DBUS_SESSION_BUS_ADDRESS
  pids+=("$(echo "$out" | sed -n 2p)")
}

# A compositor, so that panels are translucent and fade; without one they are
# cut to shape and appear at once.
compositor() {
  if command -v picom >/dev/null; then
    # picom before 10 (Debian 12 has 9.1) blurs from stale pixels with its old
    # default backends: panels that fade or move leave outlines in blurred areas.
    # Its newer backends, the default since 10, need asking for.
    local newer=()
    case $(picom --version 2>/dev/null) in v[0-9] | v[0-9].*) newer=(--experimental-backends) ;; esac
    # Blur only behind Tarvela's dim overlay while "Blur inactive windows" is on
    # (the overlay is named "Tarvela blur" then, "Tarvela dim" otherwise).
    spawn picom "${newer[@]}" --backend xrender --no-vsync --config /dev/null --blur-method box --blur-size 11 \
      --blur-background --blur-background-exclude "name != 'Tarvela blur'"
    wait_until 5 xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 || true
  else
    echo "run: no compositor (apt-get install picom for one)"
  fi
}

has_dock() { xdotool search --onlyvisible --maxdepth 1 --class tint2 >/dev/null 2>&1; }

# At least n of the sample applications' windows are on screen.
mapped() {
  [ "$(xdotool search --onlyvisible --maxdepth 2 --class 'xterm|xlogo|xeyes' 2>/dev/null | wc -l)" -ge "$1" ]
}

start_tarvela() {
  local before
  before=$(lines '^\[Tarvela\] launched ')
  "$exe" --display "$DISPLAY" "$@" >>"$log" 2>&1 &
  tarvela_pid=$!
  if ! wait_until 15 more_lines_than "$before" '^\[Tarvela\] launched '; then
    echo "run: Tarvela did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
}

# ---------------------------------------------------------------------------
if [ "$mode" = sandbox ]; then
  if ! command -v Xephyr >/dev/null; then
    echo "run: Xephyr is missing (make deps installs it)" >&2
    exit 1
  fi
  size=${TARVELA_SANDBOX_SIZE:-1600x900}
  start_server Xephyr -screen "$size" -title "Tarvela sandbox (close to quit)" -no-host-grab -resizeable -noreset
  session_bus
  compositor
  sample_apps
  wait_until 15 mapped 3 || true
  start_tarvela
  panel
  cat <<EOF

Tarvela is running in the sandbox window on display $DISPLAY, as on a first start:
its onboarding window comes first, and windows are arranged once you finish it.
  Ctrl+Alt+Left/Right   focus the previous/next column (the strip slides)
  Ctrl+Alt+1..4         jump to column 1-4
  Ctrl+Alt+R, =, -      cycle / widen / narrow the focused column
  Ctrl+Alt+S            stack the window into the column on its left
  Ctrl+Alt+M            the overview of every strip (Escape closes it)
  Alt+drag              move a window; within its display it snaps back
The tray item (bottom right of the panel) opens the popover; its menu (right
click) has About, Settings, Hide and Quit. The HUD shows at the bottom on every
focus move.
Open more windows with:  DISPLAY=$DISPLAY xterm &
Script it (tarvela msg --help lists every command):
  DISPLAY=$DISPLAY XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR $exe msg get strips
Close the sandbox window or press Ctrl+C here to stop.

EOF
  tail -n +1 -f --pid="$tarvela_pid" "$log" &
  tailer=$!
  server=${pids[0]}
  # Until either the sandbox or Tarvela goes away.
  while kill -0 "$server" 2>/dev/null && kill -0 "$tarvela_pid" 2>/dev/null; do sleep 0.5; done
  kill "$tailer" 2>/dev/null || true
  exit 0
fi

# ---------------------------------------------------------------------------
# The headless tour.
for tool in Xvfb xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "run: $tool is missing (make deps installs it)" >&2
    exit 1
  fi
done
shots="$repo/out/screenshots"
mkdir -p "$shots"
rm -f "$shots"/*.png

start_server Xvfb -screen 0 1920x1080x24 +extension RANDR +extension COMPOSITE -nolisten tcp -noreset
echo "run: private display $DISPLAY (Xvfb 1920x1080)"
session_bus
compositor
sample_apps
wait_until 15 mapped 3 || echo "run: not every sample application came up"
start_tarvela
panel

slides() { lines '^\[Tarvela\] scroll: '; }
# Waits for the slide started by the last step to come to rest.
settle_after() { wait_until 5 more_lines_than "$1" '^\[Tarvela\] scroll: ' || true; }
geometry_of() { xdotool getwindowgeometry "$1" 2>/dev/null | tr '\n' ' '; }
moved() { [ "$(geometry_of "$1")" != "$2" ]; }
shot() {
  local name=$1 caption=$2
  import -display "$DISPLAY" -window root "$shots/$name.png"
  printf '  %-22s %s\n' "$name.png" "$caption"
}

echo "run: the tour (screenshots in $shots)"
viewable() { xwininfo -display "$DISPLAY" -name "$1" 2>/dev/null | grep -q IsViewable; }
# A first start: the onboarding walks through its four steps (Return presses the
# forward button), and its last one starts the manager.
if wait_until 10 viewable "Welcome to Tarvela"; then
  n=0
  for step in welcome permission layout ready; do
    n=$((n + 1))
    sleep 0.5  # the step drawn
    shot "00-onboarding-$n-$step" "first start: the onboarding's step $n ($step)"
    xdotool search --name "Welcome to Tarvela" windowactivate --sync >/dev/null 2>&1 || true
    xdotool key Return
  done
  wait_until 5 bash -c "! xwininfo -display $DISPLAY -name 'Welcome to Tarvela' 2>/dev/null | grep -q IsViewable" || true
  wait_until 10 grep -q 'display 0 ' "$log" || true
  sleep 1  # the strips laid out
else
  echo "run: no onboarding window"
fi
first_term=$(xdotool search --onlyvisible --maxdepth 2 --class xterm | head -n1)
shot 01-start "the three windows that were open, tiled as full-height columns (the third waits off screen, right)"

spawn xterm -T "new terminal" -e sh -c 'printf "A new window opens as a column beside the focused one.\n\n"; exec sh'
# Judged 0.35 s after it appears, then placed at once (no slide).
wait_until 5 grep -q '^\[Tarvela\] new window: ' "$log" || true
shot 02-new-window "a new terminal joined beside the focused column"

n=$(slides)
xdotool windowactivate "$first_term" >/dev/null 2>&1 || true
settle_after "$n"
shot 03-focus-first "focus on the first terminal (_NET_ACTIVE_WINDOW): the strip slid to it"

n=$(slides)
xdotool key ctrl+alt+Right
settle_after "$n"
shot 04-focus-next "Ctrl+Alt+Right: focus moved one column right"

focused=$(xdotool getactivewindow 2>/dev/null || echo "")
before=$(geometry_of "$focused")
xdotool key ctrl+alt+r
wait_until 3 moved "$focused" "$before" || true
shot 05-cycle-width "Ctrl+Alt+R: the focused column cycled to its next width"

n=$(slides)
xdotool key ctrl+alt+Left
settle_after "$n"
before=$(geometry_of "$first_term")
xdotool key ctrl+alt+equal
wait_until 3 moved "$first_term" "$before" || true
shot 06-wider "Ctrl+Alt+Left, then Ctrl+Alt+=: the first terminal's column made wider"

# Dimming and blur behind the focused window, then the overview: each setting
# is added to the defaults file while Tarvela is stopped (windows stay put;
# of two entries for one key the last counts).
restart_with() {
  kill -TERM "$tarvela_pid"
  wait "$tarvela_pid" 2>/dev/null || true
  KEYS="$1" perl -0pi -e 's#</dict>(\s*</plist>\s*)$#$ENV{KEYS}</dict>$1#' "$TARVELA_DEFAULTS"
  start_tarvela
}
restart_with '<key>dimLevel</key><integer>2</integer><key>blur</key><false/>'
wait_until 5 viewable "Tarvela dim" || echo "run: no dim overlay"
sleep 1  # the restart's layout and the compositor's repaint
shot 07-dim-level-2 "dim level 2: everything but the focused window darkened (black at 0.32)"
restart_with '<key>dimLevel</key><integer>2</integer><key>blur</key><true/>'
wait_until 5 viewable "Tarvela blur" || echo "run: no dim overlay"
sleep 1
shot 08-blur "dim level 2 with blur: the compositor blurs what lies behind the overlay"
xdotool key ctrl+alt+m
if wait_until 3 viewable "Tarvela overview"; then
  sleep 0.5  # its fade-in
  shot 09-overview-sketches "Ctrl+Alt+M: the overview, every column as a sketch (previews off)"
  xdotool key Escape
  wait_until 3 bash -c "! xwininfo -display $DISPLAY -name 'Tarvela overview' 2>/dev/null | grep -q IsViewable" || true
fi
restart_with '<key>previews</key><true/>'
xdotool key ctrl+alt+m
if wait_until 3 viewable "Tarvela overview"; then
  sleep 1.5  # the pictures are taken one after another, then shown together
  shot 10-overview-pictures "the overview with real window pictures (previews on), off-screen columns included"
  xdotool key Escape
  wait_until 3 bash -c "! xwininfo -display $DISPLAY -name 'Tarvela overview' 2>/dev/null | grep -q IsViewable" || true
fi

# The shell: the HUD's options row, the tray item's popover, the pill paused, a toast.
# "x y w h" of a window found by name (absolute).
geom() {
  xwininfo -display "$DISPLAY" -name "$1" 2>/dev/null |
    awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}
# The tray icon: Tarvela's window inside the panel.
tray_icon() {
  xwininfo -display "$DISPLAY" -root -tree 2>/dev/null |
    awk '/"Tarvela": \("tarvela"/ && / \+[0-9]+\+[0-9]+$/ {print $NF; exit}' | tr '+' ' '
}
pill_shot() {
  local name=$1 caption=$2 at
  at=$(tray_icon)
  if [ -z "$at" ]; then echo "  (no tray icon for $name)"; return; fi
  set -- $at
  import -display "$DISPLAY" -window root png:- |
    convert - -crop "60x30+$(($1 - 19))+$(($2 - 4))" +repage -scale 800% "$shots/$name.png"
  printf '  %-22s %s\n' "$name.png" "$caption"
}

pill_shot 11-pill-on "the tray item, 8x: the pill blue while Tarvela is on, with the focus position"

n=$(slides)
xdotool key ctrl+alt+Right
settle_after "$n"
if wait_until 3 viewable "Tarvela HUD"; then
  read -r hx hy hw hh < <(geom "Tarvela HUD")
  # The status text at the strip row's right end opens the options row above it.
  xdotool mousemove $((hx + hw - 50)) $((hy + hh - 38)) click 1
  wait_until 2 test "$(geom "Tarvela HUD" | awk '{print $4}')" -gt "$hh" || true
  shot 12-hud-options "the HUD after a focus move, its options row opened by its status button"
  xdotool mousemove 10 10
fi

if at=$(tray_icon) && [ -n "$at" ]; then
  set -- $at
  xdotool mousemove $(($1 + 11)) $(($2 + 11)) click 1
  if wait_until 3 viewable "Tarvela popover"; then
    shot 13-popover "a click on the tray item opened the popover beside it"
    read -r px py pw ph < <(geom "Tarvela popover")
    # The moon button in the header pauses Tarvela.
    xdotool mousemove $((px + pw - 47)) $((py + 27)) click 1
    wait_until 2 grep -q 'paused' "$log" || true
    xdotool key Escape
    wait_until 2 bash -c "! xwininfo -display $DISPLAY -name 'Tarvela popover' 2>/dev/null | grep -q IsViewable" || true
    pill_shot 14-pill-paused "the tray item, 8x, paused: II on a pill that is no longer blue"
  fi
fi

# A newer version announced by an update feed on loopback: the update toast.
if command -v python3 >/dev/null; then
  mkdir -p "$work/feed"
  cat >"$work/feed/appcast.xml" <<'FEED'
<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Tarvela</title>
<item><title>Tarvela 9.9</title><sparkle:shortVersionString>9.9</sparkle:shortVersionString>
<description><![CDATA[<ul><li>Smoother slides on every display.</li><li>Fixes.</li></ul>]]></description>
<enclosure url="http://127.0.0.1/tarvela-9.9.tar.gz" length="1" sparkle:edSignature="none"/></item>
</channel></rss>
FEED
  (cd "$work/feed" && exec python3 -u -m http.server 0 --bind 127.0.0.1) >"$work/feed.log" 2>&1 &
  pids+=($!)
  wait_until 5 grep -q 'port [0-9]' "$work/feed.log" || true
  port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/feed.log" | head -n1)
  kill -TERM "$tarvela_pid"
  wait "$tarvela_pid" 2>/dev/null || true
  TARVELA_FEED_URL="http://127.0.0.1:$port/appcast.xml" start_tarvela
  if wait_until 10 viewable "Tarvela toast"; then
    sleep 0.6  # it slides in for 0.42 s
    shot 15-update-toast "an update feed on loopback offers 9.9: the update toast with Install and Later"
  fi
fi

# A toast, as `tarvela --preview toast` shows it.
kill -TERM "$tarvela_pid"
wait "$tarvela_pid" 2>/dev/null || true
"$exe" --display "$DISPLAY" --preview toast >>"$log" 2>&1 &
tarvela_pid=$!
if wait_until 5 viewable "Tarvela toast"; then
  # It slides in from the right edge for 0.42 s; wait until it rests.
  wait_until 3 bash -c "g=\$(xwininfo -display $DISPLAY -name 'Tarvela toast' | grep 'upper-left X'); sleep 0.1; [ \"\$g\" = \"\$(xwininfo -display $DISPLAY -name 'Tarvela toast' | grep 'upper-left X')\" ]" || true
  shot 16-toast "tarvela --preview toast: a toast slid in at the top right"
fi

# Tarvela's own windows, each as `tarvela --preview NAME` shows it.
preview_shot() {
  local name=$1 title=$2 file=$3
  kill -TERM "$tarvela_pid" 2>/dev/null || true  # gone already when a setting was just changed
  wait "$tarvela_pid" 2>/dev/null || true
  "$exe" --display "$DISPLAY" --preview "$name" >>"$log" 2>&1 &
  tarvela_pid=$!
  if wait_until 5 viewable "$title"; then
    sleep 0.4
    shot "$file" "tarvela --preview $name"
  else
    echo "run: no window \"$title\" for --preview $name"
  fi
}
# Every window light, then dark (the appearance preference; of two entries
# for one key the last counts), Tarvela's own title bars with them.
for look in light dark; do
  if [ "$look" = dark ]; then
    perl -0pi -e 's#</dict>(\s*</plist>\s*)$#<key>appearance</key><integer>1</integer></dict>$1#' "$TARVELA_DEFAULTS"
  fi
  preview_shot settings:general "Tarvela Settings" 17-settings-general-$look
  preview_shot settings:shortcuts "Tarvela Settings" 18-settings-shortcuts-$look
  preview_shot settings:gestures "Tarvela Settings" 19-settings-gestures-$look
  preview_shot settings:workspaces "Tarvela Settings" 20-settings-workspaces-$look
  preview_shot "settings:app rules" "Tarvela Settings" 21-settings-app-rules-$look
  preview_shot settings:updates "Tarvela Settings" 22-settings-updates-$look
  preview_shot permission "Tarvela" 23-permission-$look
  preview_shot update "Software update" 24-update-$look
  preview_shot save "Save layout" 25-save-layout-$look
  preview_shot addapps "Add apps" 26-add-apps-$look
  preview_shot onboarding "Welcome to Tarvela" 27-onboarding-$look
  preview_shot popover "Tarvela popover" 28-popover-$look
done

echo
echo "run: Tarvela's log:"
sed 's/^/  /' "$log"
echo
echo "Screenshots: $shots"
