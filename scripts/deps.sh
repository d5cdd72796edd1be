# Debian packages of the build, the tests and the benchmark, and a helper
# that installs the missing ones (through sudo when not run as root).

BUILD_PACKAGES=(
  g++ cmake make pkg-config
  qt6-base-dev libsqlite3-dev libudev-dev libzip-dev zlib1g-dev
  libfuse3-dev qt6-qpa-plugins zip
)
TEST_PACKAGES=(
  "${BUILD_PACKAGES[@]}"
  libgtest-dev libgmock-dev
  fuse3 gddrescue genisoimage xorriso util-linux mount e2fsprogs binutils file
  xvfb xauth xdg-utils desktop-file-utils
  python3 openssl zip unzip dbus-daemon at-spi2-core python3-pyatspi imagemagick
  clang libclang-rt-14-dev
)
RUN_PACKAGES=(
  "${BUILD_PACKAGES[@]}"
  xdg-utils fuse3 xorriso
)
BENCH_PACKAGES=(
  "${BUILD_PACKAGES[@]}"
  fuse3 gddrescue coreutils util-linux mount python3
)

install_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
