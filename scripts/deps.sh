# Sourced by scripts/run, scripts/test and scripts/package-windows: installs
# the Debian packages the build needs, only those that are missing, as root
# or through sudo. help2man makes the man pages; lintian and man-db check
# the Debian package.
KAVR_PACKAGES=(cmake ninja-build ccache g++ make qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev libexpat1-dev libsqlite3-dev clang-tidy clang-format-14
  xvfb x11-utils dbus-daemon at-spi2-core python3-pyatspi
  help2man lintian man-db)
# The Windows builds: MinGW-w64 with POSIX threads (std::mutex) for 32-bit
# Windows and, where 32-bit programs cannot run, 64-bit Windows; wine of both
# widths to run their programs; GoogleTest's sources to build for them;
# dpkg-dev to unpack Qt's source package (scripts/build-windows-qt); a virtual
# display, a window manager, xdotool and xclip to drive the window's program;
# nsis for the installer.
KAVR_WINDOWS_PACKAGES=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 googletest
  dpkg-dev xvfb openbox xdotool xclip x11-utils fonts-wine nsis)
# 32-bit wine is wanted only where 32-bit programs run; elsewhere its i386
# libraries may not even be installable beside the amd64 ones, and the
# stages that need it say "not run" and why.
KAVR_OPTIONAL_WINDOWS_PACKAGES=(wine32:i386)

kavr_sudo() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "Not root and no sudo to run: $*; run it as root." >&2
    return 1
  fi
}

kavr_install_missing() {
  local missing=()
  local package
  for package in "${KAVR_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  echo "Installing: ${missing[*]}"
  kavr_apt_update
  kavr_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# apt-get update fails as a whole when one index of many cannot be fetched
# (a mirror in the middle of a sync); the lists it did fetch still serve,
# so that is said and the install goes on.
kavr_apt_update() {
  kavr_sudo apt-get update -qq ||
    echo "apt-get update did not fetch every index; going on with the lists it has." >&2
}

# Packages that are installed when they can be, and said when they cannot.
kavr_install_if_possible() {
  local package
  for package in "$@"; do
    kavr_install_missing "$package" >/dev/null 2>&1 ||
      echo "Could not install $package; what needs it will say so." >&2
  done
}

# The build's packages, those of the Windows build and any named (wine32 is
# an i386 package).
kavr_install_with_windows_tools() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    kavr_sudo dpkg --add-architecture i386
  fi
  kavr_install_missing "${KAVR_WINDOWS_PACKAGES[@]}" "$@" || return 1
  kavr_install_if_possible "${KAVR_OPTIONAL_WINDOWS_PACKAGES[@]}"
}

kavr_configure_and_build() {
  local build_dir=$1
  shift
  local generator=() launcher=()
  command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
  # A compiler cache, where one is installed, makes a rebuild of unchanged
  # sources (a fresh clone, another build type) nearly free.
  command -v ccache >/dev/null 2>&1 &&
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$KAVR_ROOT" -B "$build_dir" "${generator[@]}" "${launcher[@]}" "$@"
  cmake --build "$build_dir" --parallel "$(nproc)"
}

# Configures and builds the 32-bit Windows programs; with a Qt for Windows
# prefix in KAVR_WINDOWS_QT (scripts/build-windows-qt), the window's program
# too.
kavr_configure_and_build_windows() {
  local build_dir=$1
  shift
  local ui=(-DKAVR_BUILD_UI=OFF)
  if [ -n "${KAVR_WINDOWS_QT:-}" ]; then
    ui=(-DKAVR_BUILD_UI=ON "-DCMAKE_PREFIX_PATH=$KAVR_WINDOWS_QT")
  fi
  kavr_configure_and_build "$build_dir" --toolchain "$KAVR_ROOT/cmake/i686-w64-mingw32.cmake" \
    "${ui[@]}" -DKAVR_BUILD_BENCH=OFF "$@"
}

# Whether this machine runs 32-bit x86 programs: some kernels run none at all
# ("Exec format error"), and then 32-bit wine cannot start.
# KAVR_AS_IF_NO_32BIT=1 (scripts/test --as-if-no-32-bit) pretends it cannot.
kavr_can_run_32bit() {
  [ "${KAVR_AS_IF_NO_32BIT:-0}" = 1 ] && return 1
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

kavr_no_32bit_reason() {
  if [ "${KAVR_AS_IF_NO_32BIT:-0}" = 1 ]; then
    echo "run as if this machine could not execute 32-bit x86 programs (--as-if-no-32-bit)"
  elif [ ! -x /usr/lib/wine/wine ]; then
    echo "32-bit wine (wine32:i386) is not installed"
  else
    echo "this machine cannot execute 32-bit x86 programs: $(/usr/lib/wine/wine --version 2>&1 | tail -n 1)"
  fi
}

# One line saying what this machine can run.
kavr_32bit_support_line() {
  if kavr_can_run_32bit; then
    echo "This machine runs 32-bit x86 programs: 32-bit Windows programs are tested under 32-bit wine."
  else
    echo "No 32-bit Windows programs run here ($(kavr_no_32bit_reason)): they are built, not run."
  fi
}
