#!/usr/bin/env bash
# Measures the movie saver under Wine on a private 1920x1080 Xvfb display; every
# figure of a report comes from the same run:
#   1. CPU of plain runs, whole saver process over 20 s after a 3 s warm-up,
#      with wineserver and Xvfb shown apart: (a) a one-frame black movie, the
#      cost of a plain black full-screen window, (b) the built-in movie, (c)
#      the heaviest animated movie of the corpus; (b) and (c) also less (a).
#   2. Time from process start to the built-in movie's first frame on screen,
#      beside the black movie's first paint and its window becoming visible
#      (median of 3 runs each).
#   3. Memory of the built-in movie's plain run: the Linux process's VmHWM and
#      sampled peak RssAnon, and what Windows calls report (wininspect usage).
#   4. With --soak: 15 minutes of the built-in movie, then 15 minutes of a
#      Speed 1 slideshow of two pictures, handles, GDI/USER objects, memory and
#      CPU sampled every minute into a log (SOAK_MINUTES shortens each half).
# CPU figures come from /proc/<pid>/stat (utime + stime), in % of one core.
#
# Usage: scripts/measure-movie.sh [--soak]
#   ORRIVEL_BUILD_DIR         Windows build to make and measure (default build/windows)
#   ORRIVEL_MEASURE_WINE_DIR  Xvfb and Wine prefix (default build/measure-movie-wine)
#   ORRIVEL_JOBS              build jobs (default 1)
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
soak=0
case "${1:-}" in
  --soak) soak=1 ;;
  "") ;;
  *) echo "usage: $0 [--soak]" >&2; exit 2 ;;
esac
soak_minutes=${SOAK_MINUTES:-15}
case $soak_minutes in
  ''|*[!0-9]*|0) echo "measure-movie: SOAK_MINUTES must be a whole number above 0" >&2; exit 2 ;;
esac
build_dir=${ORRIVEL_BUILD_DIR:-build/windows}
case $build_dir in /*) ;; *) build_dir="$root/$build_dir" ;; esac
wine_dir=${ORRIVEL_MEASURE_WINE_DIR:-$root/build/measure-movie-wine}

# The heaviest animated movie of the corpus at 1920x1080. Of the ruffle/visual
# and misc movies whose picture changes between frames 1, 13 and 37 (20 of
# them), this one took by far the most swf-render CPU for one frame at
# 1920x1080: 0.57 s with the PNG written, against 0.10-0.16 s for the others,
# some 0.1 s of which any 1920x1080 PNG costs. Fifteen bitmap-filled shapes are moved and
# scaled by two 311-frame sprites at 60 frames per second.
heavy_rel=misc/shumway/examples/rendering/images0.swf
heavy="$root/../shared/corpus/$heavy_rel"

for tool in cmake wine xdotool xwd convert display xdpyinfo Xvfb; do
  command -v "$tool" >/dev/null || { echo "measure-movie: $tool is missing" >&2; exit 1; }
done

mkdir -p "$wine_dir"
echo "building Orrivel and wininspect in $build_dir ..."
if ! (cd "$root" && cmake --preset windows -B "$build_dir" &&
      cmake --build "$build_dir" -j "${ORRIVEL_JOBS:-1}" --target Orrivel wininspect) \
      >"$wine_dir/build.log" 2>&1; then
  tail -20 "$wine_dir/build.log" >&2
  echo "measure-movie: build failed (log: $wine_dir/build.log)" >&2
  exit 1
fi
scr="$build_dir/Orrivel.scr"
inspect="$build_dir/tests/e2e/wininspect.exe"

work=$(mktemp -d /tmp/orrivel-measure-movie-XXXXXX)
saver=""
cleanup() {
  if [ -n "$saver" ]; then
    kill "$saver" 2>/dev/null
    wait "$saver" 2>/dev/null
  fi
  declare -F orrivel_wine_stop >/dev/null && orrivel_wine_stop "$wine_dir" >/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# A display of our own: a display number handed down for the tests is not ours.
unset ORRIVEL_DISPLAY
export ORRIVEL_SCREEN=1920x1080x24
source "$root/scripts/wine-env.sh" start "$wine_dir" >/dev/null || exit 1
screen=$(xdpyinfo 2>/dev/null | awk '/dimensions:/ {print $2; exit}')
if [ "$screen" != 1920x1080 ]; then
  echo "measure-movie: display $DISPLAY is $screen, not 1920x1080" >&2
  exit 1
fi
cp "$scr" "$work/Orrivel.scr"
# A per-user settings file would be read instead of the one beside the .scr.
rm -f "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Orrivel/Velmorand.ini
hz=$(getconf CLK_TCK)
source "$root/scripts/measure-lib.sh"
xvfb=$(cat "$wine_dir/xvfb.pid")

# A one-frame still black movie of 30 bytes, 18 frames per second like the
# built-in movie, so that (a) differs from (b) only in what is drawn.
{
  printf 'FWS\x06\x1e\x00\x00\x00'          # uncompressed, version 6, file length
  printf '\x78\x00\x05\x5f\x00\x00\x0f\xa0\x00'  # stage 0..11000 x 0..8000 twips, 15-bit fields
  printf '\x00\x12\x01\x00'                  # 18.0 frames per second, 1 frame
  printf '\x43\x02\x00\x00\x00'              # SetBackgroundColor 000000
  printf '\x40\x00\x00\x00'                  # ShowFrame, End
} >"$work/black.swf"

# Microseconds since the epoch, without starting a process.
now_us() {
  local t=$EPOCHREALTIME
  echo "${t/[.,]/}"
}
# A value in kB from /proc/<pid>/status (VmHWM, RssAnon), 0 when gone.
status_kb() {
  awk -v key="$2:" '$1 == key {print $2; found = 1} END {if (!found) print 0}' \
    "/proc/$1/status" 2>/dev/null || echo 0
}


window_visible() { [ -n "$(xdotool search --onlyvisible --name '^Tavrenn$' 2>/dev/null)" ]; }

# The settings file beside the .scr, for a plain movie run or a slideshow.
movie_ini() {
  printf 'MOVIEORPIC = MOVIE\r\nSWFMOVIE = %s\r\nINTERACTIVE = FALSE\r\n' "$1" \
    >"$work/Velmorand.ini"
}
picture_ini() {
  printf 'MOVIEORPIC = PIC\r\nPICS = %s\r\nRANDOM = SEQ\r\nSPEED = %s\r\n' "$1" "$2" \
    >"$work/Velmorand.ini"
}

# Starts the saver with /s and records when, in $started.
start_saver() {
  started=$(now_us)
  (cd "$work" && exec wine "$work/Orrivel.scr" /s </dev/null >>"$work/saver.log" 2>&1) &
  saver=$!
}

wait_window() {
  local i
  for i in $(seq 600); do
    window_visible && return 0
    kill -0 "$saver" 2>/dev/null || break
    sleep 0.05
  done
  echo "measure-movie: the saver window did not appear" >&2
  return 1
}

# Ends the saver as a user would, with a key (so it cleans up after itself),
# killing it only when that fails; then waits for its window to go: a window
# titled "Tavrenn" still there would make the next run end at once.
ended_by_key=0
ended_by_kill=0
stop_saver() {
  [ -n "$saver" ] || return 0
  local id i
  id=$(xdotool search --onlyvisible --name '^Tavrenn$' 2>/dev/null | head -1)
  [ -n "$id" ] && timeout 5 xdotool windowfocus --sync "$id" 2>/dev/null
  xdotool key a 2>/dev/null
  for i in $(seq 50); do
    kill -0 "$saver" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$saver" 2>/dev/null; then
    kill "$saver" 2>/dev/null
    ended_by_kill=$(( ended_by_kill + 1 ))
  else
    ended_by_key=$(( ended_by_key + 1 ))
  fi
  wait "$saver" 2>/dev/null
  saver=""
  for i in $(seq 100); do
    [ -z "$(xdotool search --name '^Tavrenn$' 2>/dev/null)" ] && return 0
    sleep 0.05
  done
}

# Sleeps until $1 (microseconds since the epoch), keeping the highest RssAnon
# of the saver in rss_peak.
sample_until() {
  local r
  while [ "$(now_us)" -lt "$1" ]; do
    r=$(status_kb "$saver" RssAnon)
    [ "$r" -gt "$rss_peak" ] && rss_peak=$r
    sleep 0.5
  done
}

# One line of Windows' own figures for the saver's process, "" when none.
usage_line() {
  timeout 30 wine "$inspect" usage Tavrenn 2>/dev/null | tr -d '\r' | grep '^usage '
}
usage_field() { printf '%s\n' "$1" | tr ' ' '\n' | awk -F= -v k="$2" '$1 == k {print $2}'; }

# What the centre 16x16 pixels show: "black" (all 000000), "picture" (some
# pixel with a colour, which neither the grey root painted below, nor the
# grey window background, nor the black player shows before the first frame)
# or "other",
# in probe_result. Counts the probes and their time for the report.
probe_count=0
probe_us=0
probe() {
  local t0
  t0=$(now_us)
  probe_result=$(xwd -root -silent 2>/dev/null |
    convert xwd:- -crop 16x16+952+532 +repage -depth 8 txt:- 2>/dev/null |
    awk 'NR > 1 {
      for (i = 1; i <= NF; ++i) if (substr($i, 1, 1) == "#") h = toupper(substr($i, 2, 6))
      ++n
      if (h != "000000") nonblack = 1
      if (substr(h, 1, 2) != substr(h, 3, 2) || substr(h, 3, 2) != substr(h, 5, 2)) colour = 1
    }
    END { print colour ? "picture" : (n > 0 && !nonblack ? "black" : "other") }')
  probe_count=$(( probe_count + 1 ))
  probe_us=$(( probe_us + $(now_us) - t0 ))
}

# 1. CPU of a plain run of movie $2 (the SWFMOVIE value), stored under label $1.
declare -A cpu_saver cpu_ws cpu_x cpu_hwm
percent() {  # ticks, microseconds
  awk -v d="$1" -v hz="$hz" -v us="$2" 'BEGIN {print 100 * d / hz / (us / 1e6)}'
}
cpu_run() {
  local label=$1 c0 w0 x0 t0 c1 w1 x1 t1 ws
  movie_ini "$2"
  start_saver
  wait_window || return 1
  rss_peak=0
  sample_until $(( $(now_us) + 3000000 ))
  ws=$(wineserver_pid)
  c0=$(ticks "$saver"); w0=$(ticks "$ws"); x0=$(ticks "$xvfb"); t0=$(now_us)
  sample_until $(( t0 + 20000000 ))
  c1=$(ticks "$saver"); w1=$(ticks "$ws"); x1=$(ticks "$xvfb"); t1=$(now_us)
  if ! kill -0 "$saver" 2>/dev/null; then
    echo "measure-movie: the saver ended during run ($label)" >&2
    return 1
  fi
  cpu_saver[$label]=$(percent $(( c1 - c0 )) $(( t1 - t0 )))
  cpu_ws[$label]=$(percent $(( w1 - w0 )) $(( t1 - t0 )))
  cpu_x[$label]=$(percent $(( x1 - x0 )) $(( t1 - t0 )))
  cpu_hwm[$label]=$(status_kb "$saver" VmHWM)
  # The saver rewrites the settings only when the movie does not load (and
  # the built-in one plays instead).
  if ! grep -qF "SWFMOVIE = $2" "$work/Velmorand.ini"; then
    echo "measure-movie: run ($label): the movie did not load" >&2
    return 1
  fi
  if [ "$label" = b ]; then
    mem_rss=$rss_peak
    mem_usage=$(usage_line)
  fi
  stop_saver
}

# Other work on the machine slows start-up and starves a movie that wants more
# than the CPU left, so the report shows the load around the run.
load_start=$(cut -d' ' -f1 /proc/loadavg)
echo
echo "1. CPU, plain runs at 1920x1080, 20 s after a 3 s warm-up ..."
black_setting=$(winepath "$work/black.swf")
cpu_run a "$black_setting" || exit 1
cpu_run b DEFAULT || exit 1
have_heavy=0
if [ -f "$heavy" ]; then
  cpu_run c "$(winepath "$(cd "$(dirname "$heavy")" && pwd)/$(basename "$heavy")")" || exit 1
  have_heavy=1
else
  echo "  (no $heavy_rel beside the repository: run (c) left out)"
fi

# 2. Starts a plain run of movie $2 and waits for its window and for the
# centre to show $1 (black or picture); sets ff_win and ff_frame to the
# milliseconds from start ("-" when not seen within 30 s).
first_frame_run() {
  local want=$1 shot deadline i
  ff_win=""; ff_frame=""
  # The screen as it is without the saver, so a stale picture cannot count.
  for i in $(seq 60); do
    probe
    [ "$probe_result" = other ] && break
    sleep 0.05
  done
  movie_ini "$2"
  start_saver
  deadline=$(( started + 30000000 ))
  while [ "$(now_us)" -lt "$deadline" ]; do
    [ -z "$ff_win" ] && window_visible && ff_win=$(( ($(now_us) - started) / 1000 ))
    shot=$(now_us)
    if [ -z "$ff_frame" ]; then
      probe
      [ "$probe_result" = "$want" ] && ff_frame=$(( (shot - started) / 1000 ))
    fi
    [ -n "$ff_win" ] && [ -n "$ff_frame" ] && break
    kill -0 "$saver" 2>/dev/null || break
  done
  stop_saver
  ff_win=${ff_win:--}; ff_frame=${ff_frame:--}
}
median() {
  printf '%s\n' "$@" | grep -v '^-$' | sort -n |
    awk '{v[NR] = $1} END {print NR ? v[int((NR + 1) / 2)] : "-"}'
}

echo "2. time to first frame, 3 runs each ..."
# Xvfb's root is black, so the black window's first paint would not show:
# paint the root grey (display exits with 1 even when it worked).
timeout 20 display -window root -size 1920x1080 xc:'#505050' </dev/null >/dev/null 2>&1
probe
if [ "$probe_result" != other ]; then
  echo "measure-movie: could not paint the root window grey" >&2
  exit 1
fi
black_win=(); black_paint=(); movie_win=(); movie_frame=()
probe_count=0; probe_us=0
for rep in 1 2 3; do
  first_frame_run black "$black_setting"
  black_win+=("$ff_win"); black_paint+=("$ff_frame")
  first_frame_run picture DEFAULT
  movie_win+=("$ff_win"); movie_frame+=("$ff_frame")
done
probe_ms=$(( probe_count > 0 ? probe_us / probe_count / 1000 : 0 ))

soak_log="$wine_dir/soak.log"
declare -A soak_first soak_last
# Appends one sample of the running saver to the log: minute, VmHWM, RssAnon,
# CPU over the last interval, and the usage line's figures.
soak_sample() {
  local phase=$1 minute=$2 cpu=$3 u line
  u=$(usage_line)
  line=$(printf '%-7s %4s %9s %9s %6s %7s %5s %5s %11s %11s %11s' "$phase" "$minute" \
    "$(status_kb "$saver" VmHWM)" "$(status_kb "$saver" RssAnon)" "$cpu" \
    "$(usage_field "$u" handles)" "$(usage_field "$u" gdi)" "$(usage_field "$u" user)" \
    "$(usage_field "$u" private)" "$(usage_field "$u" pagefile)" \
    "$(usage_field "$u" working_set)")
  echo "$line" >>"$soak_log"
  [ -n "${soak_first[$phase]:-}" ] || soak_first[$phase]=$line
  soak_last[$phase]=$line
}
# Runs the saver over the settings file already written for $soak_minutes,
# sampling every minute.
declare -A soak_peak
soak_phase() {
  local phase=$1 t0 c0 c1 m cpu
  start_saver
  wait_window || return 1
  rss_peak=0
  t0=$(now_us); c0=$(ticks "$saver")
  soak_sample "$phase" 0 -
  for m in $(seq "$soak_minutes"); do
    sample_until $(( t0 + m * 60000000 ))
    if ! kill -0 "$saver" 2>/dev/null; then
      echo "measure-movie: the saver ended in the $phase soak" >&2
      return 1
    fi
    c1=$(ticks "$saver")
    cpu=$(awk -v d="$(( c1 - c0 ))" -v hz="$hz" 'BEGIN {printf "%.1f", 100 * d / hz / 60}')
    c0=$c1
    soak_sample "$phase" "$m" "$cpu"
  done
  soak_peak[$phase]=$rss_peak
  stop_saver
}
if [ "$soak" = 1 ]; then
  echo "4. soak, $soak_minutes min of the built-in movie," \
       "then $soak_minutes min of pictures at Speed 1 ..."
  convert -size 400x300 plasma:fractal -resize 1600x1200! -quality 90 "$work/one.jpg" &&
    convert -size 1600x1200 gradient:navy-orange -quality 90 "$work/two.jpg" || exit 1
  printf '%-7s %4s %9s %9s %6s %7s %5s %5s %11s %11s %11s\n' phase minute VmHWM_kB \
    RssAnon_kB cpu_% handles gdi user private pagefile working_set >"$soak_log"
  movie_ini DEFAULT
  soak_phase movie || exit 1
  picture_ini "$(winepath "$work/one.jpg");$(winepath "$work/two.jpg");" 1
  soak_phase picture || exit 1
fi

# ---- the report -------------------------------------------------------------
echo
echo "Orrivel movie saver at 1920x1080 under Wine ($(wine --version 2>/dev/null))"
echo "load average $load_start at the start, $(cut -d' ' -f1 /proc/loadavg) at the end" \
     "($(nproc) cores)"
# The renderer draws large frames on every core and picks its widest row
# loops at run time; the figures depend on both.
echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), widest" \
     "row loops $(grep -qw avx2 /proc/cpuinfo && echo AVX2 || echo SSE2)"
echo
echo "1. CPU, % of one core over 20 s (after 3 s), plain run"
printf '  %-42s %7s %8s %11s %7s %10s\n' movie saver "vs (a)" wineserver Xvfb "VmHWM MiB"
row() {
  awk -v name="$2" -v s="${cpu_saver[$1]}" -v a="${cpu_saver[a]}" -v w="${cpu_ws[$1]}" \
      -v x="${cpu_x[$1]}" -v h="${cpu_hwm[$1]}" -v first="$([ "$1" = a ] && echo 1)" 'BEGIN {
    d = first ? "-" : sprintf("%+.1f", s - a)
    printf "  %-42s %7.1f %8s %11.1f %7.1f %10.1f\n", name, s, d, w, x, h / 1024
  }'
}
row a "(a) black window (one-frame black movie)"
row b "(b) built-in movie"
[ "$have_heavy" = 1 ] && row c "(c) $(basename "$(dirname "$heavy_rel")")/$(basename "$heavy_rel")"

echo
echo "2. time from process start, ms (median of 3; a screenshot every ~$probe_ms ms)"
bw=$(median "${black_win[@]}"); bp=$(median "${black_paint[@]}")
mw=$(median "${movie_win[@]}"); mf=$(median "${movie_frame[@]}")
printf '  %-42s %7s   runs: %s\n' "black movie: window titled, visible" "$bw" "${black_win[*]}"
printf '  %-42s %7s   runs: %s\n' "black movie: first black paint" "$bp" "${black_paint[*]}"
printf '  %-42s %7s   runs: %s\n' "built-in movie: window titled, visible" "$mw" "${movie_win[*]}"
printf '  %-42s %7s   runs: %s\n' "built-in movie: first frame on screen" "$mf" "${movie_frame[*]}"
awk -v f="$mf" -v p="$bp" 'BEGIN {
  if (f != "-" && p != "-" && p > 0) printf "  first frame / black paint: %.2f\n", f / p
}'

echo
echo "3. memory of the built-in movie's plain run (23 s)"
awk -v h="${cpu_hwm[b]}" -v r="$mem_rss" 'BEGIN {
  printf "  Linux: VmHWM %.1f MiB, peak RssAnon %.1f MiB (sampled every 0.5 s)\n",
         h / 1024, r / 1024
}'
if [ -n "$mem_usage" ]; then
  mib() {
    awk -v v="$1" 'BEGIN { if (v ~ /^[0-9]+$/) printf "%.1f MiB", v / 1048576; else print v }'
  }
  echo "  Windows: handles $(usage_field "$mem_usage" handles), GDI objects" \
       "$(usage_field "$mem_usage" gdi), USER objects $(usage_field "$mem_usage" user)"
  echo "           private $(mib "$(usage_field "$mem_usage" private)")," \
       "peak $(mib "$(usage_field "$mem_usage" private_peak)")," \
       "commit $(mib "$(usage_field "$mem_usage" pagefile)");" \
       "working set $(mib "$(usage_field "$mem_usage" working_set)")," \
       "peak $(mib "$(usage_field "$mem_usage" working_set_peak)")"
  # Wine leaves some counters at 0 and lacks some calls: say which.
  zero=""; none=""
  for key in handles gdi user private private_peak pagefile working_set; do
    case $(usage_field "$mem_usage" "$key") in
      0) zero+=" $key" ;;
      "?") none+=" $key" ;;
    esac
  done
  [ -n "$zero" ] && echo "           0 from Wine (not counted there):$zero"
  [ -n "$none" ] && echo "           ? = the call failed under Wine:$none"
else
  echo "  Windows: wininspect usage gave no line"
fi

if [ "$soak" = 1 ]; then
  echo
  echo "4. soak, start and end of each half ($soak_minutes min each; every minute in $soak_log)"
  head -1 "$soak_log" | sed 's/^/  /'
  for phase in movie picture; do
    echo "  ${soak_first[$phase]}"
    echo "  ${soak_last[$phase]}"
    awk -v p="${soak_peak[$phase]}" -v n="$phase" \
      'BEGIN {printf "  %s: peak RssAnon %.1f MiB (sampled)\n", n, p / 1024}'
  done
fi

if [ "$ended_by_kill" -gt 0 ]; then
  echo
  echo "runs ended by a key: $ended_by_key; killed, as the key did not end them: $ended_by_kill"
fi
