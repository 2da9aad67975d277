# The Debian 12 packages that building and testing Orrivel needs, and the
# function that installs the missing ones (as root, or through sudo).
# Sourced by scripts/run and scripts/test.

packages=(
  cmake ninja-build g++ clang clang-format
  libgtest-dev googletest libgmock-dev libbenchmark-dev
  zlib1g-dev libjpeg-dev libjpeg62-turbo-dev libpng-dev libmpg123-dev pkg-config mpg123 ffmpeg
  libfreetype-dev libfontconfig-dev fonts-liberation2
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev
  wine wine64 xvfb xdotool x11-apps x11-utils imagemagick libjpeg-turbo-progs
  time bc procps
)
orrivel_install_packages() {
  local missing=() p
  for p in "${packages[@]}"; do
    if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "all ${#packages[@]} packages present"
    return 0
  fi
  echo "missing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" != 0 ]; then
    if command -v sudo >/dev/null; then
      sudo=(sudo)
    else
      echo "run as root to install them" >&2
      return 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q &&
    "${sudo[@]}" apt-get install -y -q "${missing[@]}" </dev/null
}

