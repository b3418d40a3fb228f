#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Idempotent: packages already present are skipped, and apt is not touched at all
# when nothing is missing. Without root and without sudo it installs nothing: it
# prints the command to run as root and fails.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config clang
  # the RTF reader's fuzzer: libFuzzer and clang's sanitizer runtimes (only a
  # Recommends of clang, so --no-install-recommends leaves them out)
  libclang-rt-14-dev
  # loopback-only network namespaces for the socket tests
  iproute2
  # unit tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # the support library's registry store
  libsqlite3-dev sqlite3
  # quillmark: Qt 6 Widgets, Qt SQL over SQLite, SVG art
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-svg-dev libqt6svg6
  fonts-dejavu-core fonts-liberation
  # Qt's CMake package looks for XKB at configure time; without it configure
  # prints "Could NOT find XKB"
  libxkbcommon-dev
  # GUI tests and screenshots on a machine without a display
  xvfb xauth
  # the install test checks the desktop entry with the system's validator
  desktop-file-utils
  # independent RTF readers used by the tests
  unrtf pandoc
  # message formatting benchmark: fmt::format as a baseline
  libfmt-dev
  # quillmark spell-check: hunspell and the English dictionaries
  libhunspell-dev hunspell-en-us hunspell-en-gb
  # time tests: the German locale (generated below) and the tz database
  locales tzdata
  # logger benchmark: spdlog's null and basic file sinks as baselines
  libspdlog-dev
  # the report export and RTF picture tests: LibreOffice lays out our RTF, DOCX and ODT;
  # poppler reads its PDFs and lists their images
  libreoffice-writer-nogui poppler-utils
  # the web page export's test: headless Chromium shows the page and takes a screenshot
  chromium
  # the report's DOCX and ODT packages (libzip) and its sales chart (Qt Charts needs Qt's OpenGL)
  libzip-dev qt6-charts-dev libqt6opengl6-dev
)

# What dpkg has installed, read in one call (one call per package made a run that
# changes nothing take seconds), as NAME:ARCH keys; read again after apt installs.
declare -A installed
read_installed() {
  installed=()
  local status name
  while read -r status name; do
    [[ "$status" == installed ]] && installed[$name]=1
  done < <(dpkg-query -W -f='${db:Status-Status} ${Package}:${Architecture}\n' 2>/dev/null)
}
native_arch=$(dpkg --print-architecture)
# missing_packages NAME...: those of the names dpkg does not have installed, a line each.
# A NAME without an architecture is the machine's own package or an "all" one.
missing_packages() {
  local p
  for p; do
    if [[ "$p" == *:* ]]; then
      [[ -n "${installed[$p]:-}" ]] || echo "$p"
    else
      [[ -n "${installed[$p:$native_arch]:-}${installed[$p:all]:-}" ]] || echo "$p"
    fi
  done
}
read_installed
mapfile -t missing < <(missing_packages "${packages[@]}")

# Root runs apt itself; anyone else through sudo, or is told what to run as root.
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null 2>&1 && sudo=(sudo)
fi
as_root_or_explain() { # WHAT COMMAND...
  local what=$1
  shift
  if [[ $(id -u) -ne 0 && ${#sudo[@]} -eq 0 ]]; then
    {
      echo "deps: $what needs root, and sudo is not here; as root, run:"
      echo "  $*"
      echo "deps: then run this command again"
    } >&2
    exit 1
  fi
}

if ((${#missing[@]})); then
  install=(apt-get install -y -q --no-install-recommends "${missing[@]}")
  echo "deps: these Debian packages are missing: ${missing[*]}"
  as_root_or_explain "installing them" "apt-get update && ${install[*]}"
  echo "deps: installing ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${install[@]}"
  read_installed
fi

# generate_locale NAME (as locale -a spells it, e.g. de_DE.UTF-8), once.
generate_locale() {
  local name=$1
  locale -a 2>/dev/null | grep -qix "${name/UTF-8/utf8}" && return 0
  as_root_or_explain "generating the $name locale" \
    "echo '$name UTF-8' >>/etc/locale.gen && locale-gen"
  echo "deps: generating the $name locale"
  if ! grep -q "^$name UTF-8" /etc/locale.gen 2>/dev/null; then
    echo "$name UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo[@]}" locale-gen
}

# The time tests compare the formatter with strftime in German as well, and
# read the name table in Japanese, whose month abbreviations are padded.
generate_locale de_DE.UTF-8
generate_locale ja_JP.UTF-8

# --- The Windows build (the mingw32 and mingw64 presets) -----------------------
# MinGW-w64's 32-bit and 64-bit cross compilers, and Wine with both loaders to run
# the tests; wine32 is an i386 package, so dpkg gets that architecture first. On a
# host whose kernel runs no 32-bit programs wine32 installs but cannot run, and the
# tests run on the 64-bit build under wine64 instead (scripts/test.sh).
windows_packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64)
mapfile -t windows_missing < <(missing_packages "${windows_packages[@]}")
if ((${#windows_missing[@]})); then
  install=(apt-get install -y -q --no-install-recommends "${windows_missing[@]}")
  echo "deps: the Windows build's packages are missing: ${windows_missing[*]}"
  as_root_or_explain "installing them" \
    "dpkg --add-architecture i386 && apt-get update && ${install[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
  fi
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${install[@]}"
fi
# The double-byte string tests under Wine: Wine takes the ANSI code page from the
# locale, and ja_JP.UTF-8 gives Japanese (932).
generate_locale ja_JP.UTF-8
# Said once here, as it stays true for the host: cmake/wine-run.sh --probe starts
# Wine's 32-bit loader, which is all it takes to find out.
if ! why=$("$(dirname "$0")/../cmake/wine-run.sh" --probe win32); then
  echo "deps: this host cannot run 32-bit Windows programs: $why;" \
    "the Windows suite runs on the 64-bit build under wine64"
fi
# --- end of the Windows build -------------------------------------------------
