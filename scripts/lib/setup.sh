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
  ensure_packages g++ make cmake ninja-build pkg-config libgtest-dev libcli11-dev nlohmann-json3-dev \
    nettle-dev qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev \
    fonts-dejavu-core locales help2man
}

# What scripts/package and its test need besides the build: the Debian
# package tools, the validators of the desktop entry and the AppStream
# metainfo, and man to read the installed man pages.
ensure_package_packages() {
  ensure_packages dpkg-dev desktop-file-utils appstream man-db file
}

# The packages scripts/bench needs: a build without the window (pass_bench
# measures time and memory itself).
ensure_bench_packages() {
  ensure_packages g++ make cmake pkg-config libgtest-dev libcli11-dev nlohmann-json3-dev nettle-dev
}

# The packages the sanitizer and fuzz build needs: the core's and the tests'
# (clang compiles against g++'s standard library), clang and its sanitizer
# and libFuzzer runtimes.
ensure_fuzz_packages() {
  ensure_packages g++ make cmake ninja-build pkg-config libgtest-dev libcli11-dev nlohmann-json3-dev \
    nettle-dev clang libclang-rt-14-dev lld
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

# The compiler launcher for the scripts' builds: ccache where it is installed,
# so that a developer's repeated runs compile only what changed
# (CCACHE_DISABLE=1 turns it off for one run). The set-up does not install it:
# a fresh machine, CI's included, starts with an empty cache, where ccache
# only adds its own work to every compile.
launcher_option() {
  if command -v ccache >/dev/null 2>&1; then echo "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"; fi
}

# generator_option FOLDER: Ninja for a new build folder where it is
# installed (it keeps both cores busy across targets, where make waits for a
# library before compiling what uses it); a folder configured before keeps
# its generator, which CMake cannot change.
generator_option() {
  if [ ! -f "$1/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then echo "-GNinja"; fi
}

# build_project [CMAKE OPTION...]: configures and builds into $TRIMWRIGHT_BUILD;
# only the targets named in $TRIMWRIGHT_TARGETS (separated by spaces) when set.
# The programs are optimised as in any RelWithDebInfo build, with line tables
# for their debug information: full debug information takes a third of the
# build's time, and the package strips it. A unity build compiles a library's
# sources a few at a time as one, which parses their shared headers once.
build_project() {
  cmake -S "$TRIMWRIGHT_ROOT" -B "$TRIMWRIGHT_BUILD" $(generator_option "$TRIMWRIGHT_BUILD") \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
    -DCMAKE_UNITY_BUILD=ON $(launcher_option) "$@" >/dev/null
  local targets=()
  local target
  for target in ${TRIMWRIGHT_TARGETS:-}; do targets+=(--target "$target"); done
  cmake --build "$TRIMWRIGHT_BUILD" -j "$(nproc)" "${targets[@]}"
}

# The sanitizer and fuzz build, one for scripts/test and scripts/fuzz: clang
# with AddressSanitizer, UndefinedBehaviorSanitizer (no recovery) and
# libFuzzer's coverage instrumentation, without the window. Everything is
# compiled at -O0 with line tables, apart from the code the harnesses drive
# (cmake/Fuzz.cmake); lld links the instrumented executables in a fraction of
# the time. Each test executable is one CTest test, its cases run in one
# process.
TRIMWRIGHT_FUZZ_BUILD="${TRIMWRIGHT_FUZZ_BUILD:-$TRIMWRIGHT_ROOT/build-fuzz}"

# configure_fuzz_build: configures $TRIMWRIGHT_FUZZ_BUILD.
configure_fuzz_build() {
  cmake -S "$TRIMWRIGHT_ROOT" -B "$TRIMWRIGHT_FUZZ_BUILD" $(generator_option "$TRIMWRIGHT_FUZZ_BUILD") \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld \
    -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g1" \
    -DCMAKE_UNITY_BUILD=ON -DTRIMWRIGHT_TESTS_BY_EXECUTABLE=ON -DTRIMWRIGHT_FUZZ=ON \
    -DTRIMWRIGHT_GUI=OFF -DTRIMWRIGHT_WERROR=ON $(launcher_option) >/dev/null
}
