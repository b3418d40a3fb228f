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

# missing_packages NAME...: those of the names dpkg does not have installed, a line each.
missing_packages() {
  local p status
  for p; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || echo "$p"
  done
}
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

# The time tests compare the formatter with strftime in German as well.
generate_locale de_DE.UTF-8

# --- The Windows build (the mingw32 preset) ------------------------------------
# MinGW-w64's 32-bit cross compiler, and Wine with its 32-bit loader to run the
# tests; wine32 is an i386 package, so dpkg gets that architecture first.
windows_packages=(g++-mingw-w64-i686 wine wine32:i386)
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
# --- end of the Windows build -------------------------------------------------
