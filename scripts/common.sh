# Shared by run.sh and test.sh: install what is missing, build.
# Runs as root (CI does); otherwise uses sudo for apt-get.

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

apt_updated=0
apt_install() {  # apt_install PKG... : installs those not yet installed
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  if [ $apt_updated -eq 0 ]; then $SUDO apt-get update -qq; apt_updated=1; fi
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What the Linux program needs to build and run.
install_linux_build() {
  apt_install cmake make g++ libgtest-dev qt6-base-dev libgl-dev libsqlite3-dev
}

# The Windows cross-build.
install_windows_build() {
  apt_install g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686 \
              g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
}

# Independent readers and the GUI test environment.
install_test_tools() {
  apt_install mdbtools sqlite3 time xvfb xauth x11-utils xdotool imagemagick \
              fonts-wqy-microhei locales
  # The Wine tests run the x86-64 build of the Windows program: machines of
  # this kind cannot execute 32-bit code, so 32-bit Wine cannot start here.
  apt_install wine wine64 python3
  if ! locale -a 2>/dev/null | grep -qi 'zh_CN.utf8'; then
    $SUDO sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    $SUDO locale-gen >/dev/null
  fi
  # Node may come from elsewhere than Debian (then Debian's npm conflicts with it).
  command -v node >/dev/null && command -v npm >/dev/null || apt_install nodejs npm
  if [ -f tests/node/package.json ] && [ ! -d tests/node/node_modules/mdb-reader ]; then
    (cd tests/node && npm ci --no-audit --no-fund --loglevel=error)
  fi
}

jobs() { nproc 2>/dev/null || echo 2; }

build_preset() {  # build_preset PRESET : configure and build build/PRESET
  cmake --preset "$1" >/dev/null
  cmake --build "build/$1" -j"$(jobs)"
}
