# Sourced by scripts/run, scripts/test and scripts/package-windows: installs
# the Debian packages the build needs, only those that are missing, as root
# or through sudo.
KAVR_PACKAGES=(cmake ninja-build g++ make qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev clang-tidy)
# The 32-bit Windows build: MinGW-w64 with POSIX threads (std::mutex), wine
# to run its programs, and GoogleTest's sources to build for it.
KAVR_WINDOWS_PACKAGES=(g++-mingw-w64-i686-posix wine wine32:i386 googletest)

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
  kavr_sudo apt-get update -qq
  kavr_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The build's packages, those of the Windows build and any named (wine32 is
# an i386 package).
kavr_install_with_windows_tools() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    kavr_sudo dpkg --add-architecture i386
  fi
  kavr_install_missing "${KAVR_WINDOWS_PACKAGES[@]}" "$@"
}

kavr_configure_and_build() {
  local build_dir=$1
  shift
  local generator=()
  command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
  cmake -S "$KAVR_ROOT" -B "$build_dir" "${generator[@]}" "$@"
  cmake --build "$build_dir" --parallel "$(nproc)"
}

# Configures and builds the 32-bit Windows programs (no window's program:
# Debian has no Qt for Windows).
kavr_configure_and_build_windows() {
  local build_dir=$1
  shift
  kavr_configure_and_build "$build_dir" --toolchain "$KAVR_ROOT/cmake/i686-w64-mingw32.cmake" \
    -DKAVR_BUILD_UI=OFF -DKAVR_BUILD_BENCH=OFF "$@"
}
