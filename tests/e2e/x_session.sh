# Sourced through session.sh: a private X display with the openbox window manager.
# Sets $display and exports DISPLAY; x_session_stop ends what x_session_start started.

x_session_start() {
  local size=${1:-800x600x24}
  require Xvfb openbox xdotool xwininfo xprop
  # On a loaded machine the window manager has been seen not to come up: try the whole
  # session again, and say what the server and openbox printed, so a failure shows why.
  local attempt
  for attempt in 1 2 3; do
    x_session_try "$size" && return 0
    echo "X session attempt $attempt failed"
    x_session_stop
  done
  echo "openbox did not start"
  exit 1
}

x_session_try() {
  local log
  log=$(mktemp)
  x_server_start "$1" "$log" || { rm -f "$log"; return 1; }
  openbox --sm-disable >>"$log" 2>&1 &
  x_manager=$!
  for _ in $(seq 200); do
    # Read whole before matching: with pipefail, grep -q closing the pipe early fails xprop.
    case "$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null)" in
      *"window id"*) rm -f "$log"; return 0 ;;
    esac
    kill -0 "$x_manager" 2>/dev/null || break
    sleep 0.05
  done
  echo "openbox on $display did not come up" \
    "(openbox $(kill -0 "$x_manager" 2>/dev/null && echo running || echo exited)," \
    "Xvfb $(kill -0 "$x_server" 2>/dev/null && echo running || echo exited)):"
  sed 's/^/  /' "$log"
  rm -f "$log"
  return 1
}

# A bare X server of SIZE (no window manager); sets $display and exports DISPLAY. What the
# server prints goes to LOG (default: nowhere) and is shown when it does not start.
x_server_start() {
  local log=${2:-/dev/null} number_file
  number_file=$(mktemp)
  # Xvfb picks a free display number itself and writes it out once it accepts clients:
  # a guessed number could be another session's display.
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$number_file" >>"$log" 2>&1 &
  x_server=$!
  for _ in $(seq 200); do
    [ -s "$number_file" ] && break
    kill -0 "$x_server" 2>/dev/null || break
    sleep 0.05
  done
  display=:$(head -n 1 "$number_file")
  rm -f "$number_file"
  if [ "$display" = ":" ]; then
    echo "Xvfb did not start:"; [ -f "$log" ] && sed 's/^/  Xvfb: /' "$log"; return 1
  fi
  export DISPLAY=$display
}

# Ends the window manager and the X server and waits for them to go.
x_session_stop() {
  local p
  for p in ${x_manager:-} ${x_server:-}; do
    kill "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
  x_manager= x_server=
}

# The visible player strip (not the playlist window, whose title also ends in "Sorvel"),
# waiting for it.
strip_window() {
  for _ in $(seq 100); do
    local id
    id=$(xdotool search --onlyvisible --name '^마루엘의 뮤직플레이어 Sorvel$' 2>/dev/null | tail -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.05
  done
  return 1
}

# "X Y" of a window's top-left corner as the X server has it.
server_position() {
  [ -n "$1" ] || return 1
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}'
}

# A notification area is there once someone owns the selection of screen 0's tray.
tray_up() {
  /usr/bin/python3 - <<'PY'
import ctypes, sys
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XGetSelectionOwner.restype = ctypes.c_ulong
display = x11.XOpenDisplay(None)
sys.exit(0 if display and x11.XGetSelectionOwner(display, x11.XInternAtom(display, b"_NET_SYSTEM_TRAY_S0", 0)) else 1)
PY
}

# "X Y", the centre of the program's icon in the notification area: its small window near
# the bottom of the screen, where trayer docks; nothing while there is none.
tray_icon_centre() {
  local id w h x y bottom
  bottom=$(xwininfo -root | awk '/Height:/{print $2}')
  for id in $(xdotool search --class sorvel 2>/dev/null); do
    read -r w h x y <<< "$(xwininfo -id "$id" | awk '/Width:/{w=$2} /Height:/{h=$2} /Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} END{print w, h, x, y}')"
    if [ "$w" -le 64 ] && [ "$h" -le 64 ] && [ "$y" -gt $((bottom - 100)) ]; then
      echo "$((x + w / 2)) $((y + h / 2))"
      return 0
    fi
  done
  return 0
}
tray_icon_shown() { [ -n "$(tray_icon_centre)" ]; }

# The popup menu: the program's visible window that has no title and is wider than the
# tray icon; nothing while there is none.
popup_menu() {
  local id w
  for id in $(xdotool search --onlyvisible --class sorvel 2>/dev/null); do
    # Untitled windows carry the application's name.
    case "$(xdotool getwindowname "$id" 2>/dev/null)" in ''|Sorvel) ;; *) continue ;; esac
    w=$(xwininfo -id "$id" | awk '/Width:/{print $2}')
    if [ "$w" -ge 60 ]; then echo "$id"; return 0; fi
  done
  return 0
}
popup_menu_shown() { [ -n "$(popup_menu)" ]; }
