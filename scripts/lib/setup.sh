# Shared set-up for the project's commands: installs what a fresh Debian 12
# machine lacks (with sudo when not root) and builds the project.
# Sourced by scripts/test, scripts/demo and scripts/bench.

TRIMWRIGHT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TRIMWRIGHT_BUILD="${TRIMWRIGHT_BUILD:-$TRIMWRIGHT_ROOT/build}"

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_packages PACKAGE...: installs the Debian packages that are missing.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
  fi
}

# The packages a build of the program and its tests needs.
ensure_build_packages() {
  ensure_packages g++ make cmake pkg-config libgtest-dev libcli11-dev nlohmann-json3-dev nettle-dev \
    qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev \
    fonts-dejavu-core locales help2man
}

# What scripts/package and its test need besides the build: the Debian
# package tools, the validators of the desktop entry and the AppStream
# metainfo, and man to read the installed man pages.
ensure_package_packages() {
  ensure_packages dpkg-dev desktop-file-utils appstream man-db file
}

# The packages scripts/bench needs: a build without the window, and GNU time
# for peak memory.
ensure_bench_packages() {
  ensure_packages g++ make cmake pkg-config libgtest-dev libcli11-dev nlohmann-json3-dev nettle-dev \
    time
}

# Generates a German locale so that the tests can show that parsing does not
# depend on the process locale.
ensure_german_locale() {
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8"
  fi
}

# The version in project() of CMakeLists.txt.
project_version() {
  local version
  version="$(sed -n 's/^project(Trimwright VERSION \([0-9.]*\).*/\1/p' "$TRIMWRIGHT_ROOT/CMakeLists.txt")"
  if [ -z "$version" ]; then
    echo "no project(Trimwright VERSION ...) line in CMakeLists.txt" >&2
    return 1
  fi
  echo "$version"
}

# build_project [CMAKE OPTION...]: configures and builds into $TRIMWRIGHT_BUILD;
# only the targets named in $TRIMWRIGHT_TARGETS (separated by spaces) when set.
build_project() {
  cmake -S "$TRIMWRIGHT_ROOT" -B "$TRIMWRIGHT_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  local targets=()
  local target
  for target in ${TRIMWRIGHT_TARGETS:-}; do targets+=(--target "$target"); done
  cmake --build "$TRIMWRIGHT_BUILD" -j "$(nproc)" "${targets[@]}"
}
