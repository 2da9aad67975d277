#!/usr/bin/env bash
# Measures the picture saver under Wine on a private 1920x1080 Xvfb display:
#   (a) CPU use between slideshow steps (Speed 15, a 1600x1200 JPEG): over an
#       idle stretch with no step in it, and over 30 s with steps;
#   (b) CPU time of one slideshow step of a 6000x4000 JPEG fitted to the
#       screen (Speed 1, ten steps), beside djpeg decoding the same file.
# CPU figures come from /proc/<pid>/stat (utime + stime) of the saver's
# process, with wineserver's share shown apart.
# Usage: scripts/measure-picture.sh   (ORRIVEL_SCR=path to use a built .scr)
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scr=${ORRIVEL_SCR:-}
if [ -z "$scr" ]; then
  (cd "$root" && cmake --preset windows >/dev/null && cmake --build --preset windows --target Orrivel) || exit 1
  scr="$root/build/windows/Orrivel.scr"
fi

export ORRIVEL_SCREEN=1920x1080x24
wine_dir="$root/build/measure-wine"
source "$root/scripts/wine-env.sh" start "$wine_dir" >/dev/null || exit 1
work=$(mktemp -d /tmp/orrivel-measure-XXXXXX)
saver=""
cleanup() {
  [ -n "$saver" ] && kill "$saver" 2>/dev/null
  orrivel_wine_stop "$wine_dir" >/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cp "$scr" "$work/Orrivel.scr"
hz=$(getconf CLK_TCK)
source "$root/scripts/measure-lib.sh"

now() { date +%s.%N; }

# Starts /s over the pictures in $@ with the given speed; waits for the window.
start_saver() {
  local speed=$1 pics="" p
  shift
  for p in "$@"; do pics+="$(winepath "$p");"; done
  printf 'MOVIEORPIC = PIC\r\nPICS = %s\r\nRANDOM = SEQ\r\nSPEED = %s\r\n' "$pics" "$speed" \
    > "$work/Velmorand.ini"
  (cd "$work" && exec wine "$work/Orrivel.scr" /s </dev/null >"$work/saver.log" 2>&1) &
  saver=$!
  local i
  for i in $(seq 600); do
    [ -n "$(xdotool search --onlyvisible --name '^Tavrenn$' 2>/dev/null)" ] && return 0
    kill -0 "$saver" 2>/dev/null || break
    sleep 0.05
  done
  echo "the saver window did not appear" >&2
  return 1
}

stop_saver() {
  kill "$saver" 2>/dev/null
  wait "$saver" 2>/dev/null
  saver=""
}


echo "making test pictures..."
convert -size 400x300 plasma:fractal -resize 1600x1200! -quality 90 "$work/normal.jpg" || exit 1
convert -size 1500x1000 plasma:fractal -resize 6000x4000! -quality 90 "$work/big.jpg" || exit 1

echo
echo "(a) idle CPU, Speed 15, 1600x1200 JPEG on 1920x1080"
start_saver 15 "$work/normal.jpg" || exit 1
t_start=$(now)
sleep 2
ws=$(wineserver_pid)
c0=$(ticks "$saver"); w0=$(ticks "$ws"); t0=$(now)
sleep 10
c1=$(ticks "$saver"); w1=$(ticks "$ws"); t1=$(now)
sleep "$(echo "30 - ($t1 - $t_start)" | bc)"
c2=$(ticks "$saver"); w2=$(ticks "$ws"); t2=$(now)
stop_saver
awk -v c0="$c0" -v c1="$c1" -v c2="$c2" -v w0="$w0" -v w1="$w1" -v w2="$w2" \
    -v t0="$t0" -v t1="$t1" -v t2="$t2" -v hz="$hz" -v ts="$t_start" 'BEGIN {
  printf "  between steps (%.1f s, no step): saver %.3f %% of one core, wineserver %.3f %%\n",
         t1 - t0, 100 * (c1 - c0) / hz / (t1 - t0), 100 * (w1 - w0) / hz / (t1 - t0)
  printf "  whole run (%.1f s from 2 s after start, steps included): saver %.3f %%, wineserver %.3f %%\n",
         t2 - t0, 100 * (c2 - c0) / hz / (t2 - t0), 100 * (w2 - w0) / hz / (t2 - t0)
}'

echo
echo "(b) slideshow step, 6000x4000 JPEG fitted to 1920x1080, Speed 1"
start_saver 1 "$work/big.jpg" || exit 1
sleep 3
c0=$(ticks "$saver"); t0=$(now)
sleep 10
c1=$(ticks "$saver"); t1=$(now)
stop_saver
# Best of three CPU times of djpeg with the given options.
djpeg_cpu() {
  local best="" s
  for _ in 1 2 3; do
    s=$( { /usr/bin/time -f '%U %S' djpeg "$@" -outfile /dev/null "$work/big.jpg"; } 2>&1 | tail -1 |
         awk '{print $1 + $2}')
    if [ -z "$best" ] || [ "$(echo "$s < $best" | bc)" = 1 ]; then best=$s; fi
  done
  echo "$best"
}
best=$(djpeg_cpu)
half=$(djpeg_cpu -scale 1/2)
awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$hz" -v dj="$best" -v half="$half" 'BEGIN {
  wall = t1 - t0; cpu = (c1 - c0) / hz; load = cpu / wall
  if (load < 0.9) {
    steps = int(wall + 0.5); per = cpu / steps
    printf "  saver: %.2f s CPU in %.1f s (%d steps): %.3f s CPU per step\n", cpu, wall, steps, per
  } else {
    per = 1.0
    printf "  saver: %.2f s CPU in %.1f s: busy %.0f %%, so a step takes a second or more\n", cpu, wall, 100 * load
  }
  printf "  djpeg, full decode of the same file: %.3f s CPU (at half size while decoding: %.3f s)\n", dj, half
  if (dj > 0) printf "  step / djpeg: %.2f\n", per / dj
}'
