# Sourced by the end-to-end scripts: a private X display on a free number, with a window
# manager that is ready before the script goes on. Expects $work and the array pids.
start_desktop() {
  local size=${1:-1024x768x24}
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] || { echo "Xvfb did not start"; return 1; }
  export DISPLAY=:$(head -1 "$work/display")
  openbox >/dev/null 2>&1 & pids+=($!)
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.05
  done
  echo "the window manager did not start"; return 1
}
