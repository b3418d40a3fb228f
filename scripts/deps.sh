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
  # quillmark spell-check: hunspell and the English dictionaries
  libhunspell-dev hunspell-en-us hunspell-en-gb
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
