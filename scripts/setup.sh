#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quillmoor needs.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libmpg123-dev libout123-0
  libjpeg-dev libpng-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # sanitizer and fuzzing runtimes
  clang-14 libclang-rt-14-dev
  # running: image plugins, a CJK font so that Chinese shows, the X platform plugin
  qt6-qpa-plugins qt6-image-formats-plugins fonts-noto-cjk fonts-wqy-microhei
  libxcb-cursor0 dbus-x11 at-spi2-core
  # sound output modules of libout123 (ALSA, PulseAudio, ...) for real playback
  mpg123
  # tests and their peers
  libcpp-httplib-dev python3-aiosmtpd python3-requests python3-pyatspi python3-gi
  xvfb xauth xdotool imagemagick x11-utils nodejs
  # the end-to-end suite: its own D-Bus session and the AT-SPI bus the window is read over
  dbus gir1.2-atspi-2.0
  # making the embedded assets
  sox lame python3 ccache
  # a comma-decimal locale for the number readings
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A locale whose decimal point is a comma: the number readings are tested under it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true
fi
