#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Idempotent: packages already present are skipped, and apt is not touched at all
# when nothing is missing.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config clang
  # loopback-only network namespaces for the socket tests
  iproute2
  # unit tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # the support library's registry store
  libsqlite3-dev sqlite3
  # quillmark: Qt 6 Widgets, Qt SQL over SQLite, SVG art
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-svg-dev libqt6svg6
  fonts-dejavu-core fonts-liberation
  # GUI tests and screenshots on a machine without a display
  xvfb xauth
  # independent RTF readers used by the tests
  unrtf pandoc
  # message formatting benchmark: fmt::format as a baseline
  libfmt-dev
  # RTF picture tests: LibreOffice converts the writer's output to PDF, poppler lists its images
  libreoffice-writer-nogui poppler-utils
  # time tests: the German locale (generated below) and the tz database
  locales tzdata
  # logger benchmark: spdlog's null and basic file sinks as baselines
  libspdlog-dev
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "deps: installing ${missing[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The time tests compare the formatter with strftime in German as well.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  echo "deps: generating the de_DE.UTF-8 locale"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  if ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen
fi

# --- The Windows build (the mingw32 preset) ------------------------------------
# MinGW-w64's 32-bit cross compiler, and Wine with its 32-bit loader to run the
# tests; wine32 is an i386 package, so dpkg gets that architecture first.
windows_packages=(g++-mingw-w64-i686 wine wine32:i386)
windows_missing=()
for p in "${windows_packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || windows_missing+=("$p")
done
if ((${#windows_missing[@]})); then
  echo "deps: installing ${windows_missing[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends \
    "${windows_missing[@]}"
fi
# The double-byte string tests under Wine: Wine takes the ANSI code page from the
# locale, and ja_JP.UTF-8 gives Japanese (932).
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "deps: generating the ja_JP.UTF-8 locale"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen
fi
# --- end of the Windows build -------------------------------------------------
