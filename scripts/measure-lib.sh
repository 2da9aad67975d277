# Helpers shared by the measurement scripts (sourced).

# utime + stime of a process, in clock ticks (the name field may hold spaces).
ticks() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  stat=${stat##*) }
  set -- $stat
  echo $(( ${12} + ${13} ))
}

winepath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# The wineserver of this prefix (other prefixes have their own). Its stderr
# is quiet first: a server may end while it is being looked at.
wineserver_pid() {
  local p
  for p in $(pgrep -f wineserver); do
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" &&
      { echo "$p"; return; }
  done
  echo 0
}
