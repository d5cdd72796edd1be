# Debian packages of the build, the tests and the benchmark, and a helper
# that installs the missing ones (through sudo when not run as root).

BUILD_PACKAGES=(
  g++ cmake make pkg-config
  qt6-base-dev libsqlite3-dev libudev-dev libzip-dev zlib1g-dev
  libfuse3-dev qt6-qpa-plugins libblkid-dev zip
)
TEST_PACKAGES=(
  "${BUILD_PACKAGES[@]}"
  libgtest-dev libgmock-dev
  fuse3 gddrescue genisoimage xorriso util-linux mount e2fsprogs binutils file
  xvfb xauth xdg-utils desktop-file-utils locales dosfstools
  python3 openssl zip unzip dbus-daemon at-spi2-core python3-pyatspi imagemagick
  clang libclang-rt-14-dev
  dpkg-dev lintian appstream man-db x11-utils
)
RUN_PACKAGES=(
  "${BUILD_PACKAGES[@]}"
  xdg-utils fuse3 xorriso
)
# Building the Debian package: CPack finds the libraries the programs link
# with dpkg-shlibdeps (dpkg-dev), after telling programs from data with file.
PACKAGE_PACKAGES=(
  "${BUILD_PACKAGES[@]}"
  dpkg-dev file
)
# Locales the tests check texts under: a comma as decimal separator, and a
# right-to-left script with its own day and month names.
TEST_LOCALES=(de_DE ar_SA)
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

# Generates the missing ones of the given locales (NAME, as NAME.UTF-8);
# already generated ones are left alone.
generate_locales() {
  local l sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  for l in "$@"; do
    locale -a 2>/dev/null | grep -qxi "$l.utf-\?8" && continue
    echo "Generating locale $l.UTF-8"
    "${sudo[@]}" localedef -i "$l" -f UTF-8 "$l.UTF-8"
  done
}
