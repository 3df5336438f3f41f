# Sourced by scripts/run and scripts/test: installs the Debian packages the
# build needs, only those that are missing, as root or through sudo.
KAVR_PACKAGES=(cmake ninja-build g++ make qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev)

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
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "Missing packages (${missing[*]}) and no sudo to install them; install them as root." >&2
      return 1
    fi
    sudo=(sudo)
  fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

kavr_configure_and_build() {
  local build_dir=$1
  shift
  local generator=()
  command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
  cmake -S "$KAVR_ROOT" -B "$build_dir" "${generator[@]}" "$@"
  cmake --build "$build_dir" --parallel "$(nproc)"
}
