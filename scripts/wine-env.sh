#!/usr/bin/env bash
# A private X display (Xvfb) and Wine prefix for running the Windows programs.
#
#   scripts/wine-env.sh start [DIR]   start Xvfb and a persistent wineserver
#   scripts/wine-env.sh stop  [DIR]   end them again
#   scripts/wine-env.sh env   [DIR]   print the variables as shell exports
#   source scripts/wine-env.sh start [DIR]   the same, and export the variables
#
# DIR holds the prefix and the pid files (default: build/wine). The display
# number comes from ORRIVEL_DISPLAY (":123" or "123"), else from DIR/display,
# else a free one is picked and remembered there. ORRIVEL_SCREEN sets the
# screen (default 1024x768x24).
#
# Every background process is started detached, with stdin, stdout and stderr
# on /dev/null: a Wine helper that inherits CTest's output pipe would keep
# CTest waiting for ever.

orrivel_wine_dir() {
  local dir=${1:-${ORRIVEL_WINE_DIR:-}}
  if [ -z "$dir" ]; then
    dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine"
  fi
  mkdir -p "$dir"
  (cd "$dir" && pwd)
}

# Prints the display number (digits only) for DIR.
orrivel_wine_display() {
  local dir=$1 n
  n=${ORRIVEL_DISPLAY:-}
  n=${n#:}
  if [ -z "$n" ] && [ -s "$dir/display" ]; then
    n=$(cat "$dir/display")
  fi
  if [ -z "$n" ]; then
    # Derive a stable number from the folder, then step to a free one.
    n=$(( 100 + $(printf '%s' "$dir" | cksum | cut -d' ' -f1) % 400 ))
    local tries=0
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do
      n=$(( n + 1 )); tries=$(( tries + 1 ))
      [ $tries -lt 200 ] || break
    done
    echo "$n" > "$dir/display"
  fi
  echo "$n"
}

orrivel_wine_exports() {
  local dir=$1 n=$2
  export DISPLAY=":$n"
  export WINEPREFIX="$dir/prefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
}

# True when the X server of display N answers.
orrivel_x_alive() {
  DISPLAY=":$1" xdpyinfo >/dev/null 2>&1
}

orrivel_wine_start() {
  local dir n screen pid lockpid
  dir=$(orrivel_wine_dir "${1:-}") || return 1
  n=$(orrivel_wine_display "$dir")
  screen=${ORRIVEL_SCREEN:-1024x768x24}
  orrivel_wine_exports "$dir" "$n"

  pid=$(cat "$dir/xvfb.pid" 2>/dev/null)
  if [ -e "/tmp/.X$n-lock" ]; then
    lockpid=$(tr -dc '0-9' < "/tmp/.X$n-lock")
    if [ -n "$lockpid" ] && kill -0 "$lockpid" 2>/dev/null; then
      if [ "$lockpid" != "$pid" ]; then
        echo "wine-env: display :$n is used by another X server (pid $lockpid);" \
             "set ORRIVEL_DISPLAY or ORRIVEL_TEST_DISPLAY to a free number" >&2
        return 1
      fi
    else
      rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"   # stale, left by a killed server
      pid=""
    fi
  else
    pid=""
  fi

  if [ -z "$pid" ] || ! orrivel_x_alive "$n"; then
    setsid Xvfb ":$n" -screen 0 "$screen" -nolisten tcp -noreset \
      </dev/null >/dev/null 2>&1 &
    echo $! > "$dir/xvfb.pid"
    local i
    for i in $(seq 100); do
      orrivel_x_alive "$n" && break
      sleep 0.1
    done
    if ! orrivel_x_alive "$n"; then
      echo "wine-env: Xvfb did not start on :$n" >&2
      return 1
    fi
  fi

  mkdir -p "$WINEPREFIX"
  setsid wineserver -p </dev/null >/dev/null 2>&1
  # Creates the prefix on the first run (tens of seconds), then only starts
  # the Wine services; returns when they are up.
  if ! timeout 300 setsid wine wineboot </dev/null >/dev/null 2>&1; then
    echo "wine-env: wineboot failed (WINEPREFIX=$WINEPREFIX)" >&2
    return 1
  fi
  # Without a window manager, Wine waits up to two seconds for each managed
  # window it hides; tests that open and close many windows ask for
  # unmanaged ones.
  if [ -n "${ORRIVEL_WINE_UNMANAGED:-}" ]; then
    setsid wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      </dev/null >/dev/null 2>&1
  fi
  echo "wine-env: DISPLAY=$DISPLAY WINEPREFIX=$WINEPREFIX"
}

orrivel_wine_stop() {
  local dir n pid
  dir=$(orrivel_wine_dir "${1:-}") || return 1
  n=$(orrivel_wine_display "$dir")
  orrivel_wine_exports "$dir" "$n"
  if [ -d "$WINEPREFIX" ]; then
    timeout 30 wineserver -k </dev/null >/dev/null 2>&1
  fi
  pid=$(cat "$dir/xvfb.pid" 2>/dev/null)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    local i
    for i in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
  fi
  rm -f "$dir/xvfb.pid"
  return 0
}

orrivel_wine_main() {
  case "${1:-}" in
    start) orrivel_wine_start "${2:-}" ;;
    stop) orrivel_wine_stop "${2:-}" ;;
    env)
      local dir n
      dir=$(orrivel_wine_dir "${2:-}") && n=$(orrivel_wine_display "$dir") &&
        orrivel_wine_exports "$dir" "$n" &&
        printf 'export DISPLAY=%q WINEPREFIX=%q WINEDEBUG=%q WINEDLLOVERRIDES=%q WINEARCH=%q\n' \
          "$DISPLAY" "$WINEPREFIX" "$WINEDEBUG" "$WINEDLLOVERRIDES" "$WINEARCH"
      ;;
    "") [ "${BASH_SOURCE[0]}" != "$0" ] || { echo "usage: $0 start|stop|env [DIR]" >&2; return 2; } ;;
    *) echo "usage: wine-env.sh start|stop|env [DIR]" >&2; return 2 ;;
  esac
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  orrivel_wine_main "$@"
  exit $?
else
  orrivel_wine_main "$@"
fi
