#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# Usage: scripts/deps.sh [build|test|desk|gallery|package|browser]...
set -euo pipefail

# cpp-httplib serves the workshop's pages (`ws serve`): Debian builds it as a library with
# OpenSSL, so TLS comes from certificate files without a proxy in front.
packages=(g++ cmake ninja-build pkg-config libsqlite3-dev sqlite3 libpq-dev libminizip-dev
          libsodium-dev libcpp-httplib-dev libssl-dev)
for need in "$@"; do
  case "$need" in
    build) ;;
    # The print tests render with Qt on the offscreen platform and read the PDF back.
    # unzip reads the exported spreadsheets back and openpyxl opens them as a second reader.
    # ccache keeps the two test builds' objects for the next run on the same machine. openssl
    # makes the web front end's test certificate.
    test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev locales postgresql clang
                     qt6-base-dev fonts-wqy-microhei poppler-utils unzip ccache
                     openssl python3-openpyxl) ;;
    desk) packages+=(qt6-base-dev qt6-translations-l10n xvfb xauth fonts-wqy-microhei) ;;
    # The gallery's pictures: a window manager for the frames, keys pressed, the screen taken.
    gallery) packages+=(openbox xdotool imagemagick) ;;
    # dpkg-shlibdeps names the libraries the package needs.
    package) packages+=(dpkg-dev file) ;;
    # The floor's day in a real browser: Debian's Chromium driven through its WebDriver, with the
    # fonts the pages name; nothing is downloaded by the test.
    browser) packages+=(chromium chromium-driver fonts-wqy-microhei python3) ;;
    *) echo "deps.sh: unknown set '$need'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The number tests also run under a comma locale (the decimal mark of de_DE), as a desktop
# started by such a user does; they skip when it cannot be had.
if [[ " $* " == *" test "* ]] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "Generating the locale de_DE.UTF-8"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
