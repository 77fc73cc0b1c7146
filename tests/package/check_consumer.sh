#!/usr/bin/env bash
# check_consumer.sh SOURCE_DIR BUILD_DIR REFERENCE_DIGEST_PROGRAM COMPILER WAY
# WAY is find_package, pkg-config or add_subdirectory. Builds the consumer
# program against armkin that way and checks that it prints the digest the
# reference program prints.
set -euo pipefail
src="$1" build="$2" reference="$3" cxx="$4" way="$5"
consumer="$src/tests/package/consumer"
flags="-O3 -ffp-contract=fast -mfma"

command -v "$cxx" >/dev/null || { echo "$cxx is not installed" >&2; exit 1; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

case "$way" in
  find_package|pkg-config)
    cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
    [ -f "$tmp/prefix/include/armkin/armkin.hpp" ] || { echo "headers not installed" >&2; exit 1; }
    ;;
esac

case "$way" in
  find_package)
    cmake -S "$consumer" -B "$tmp/build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_PREFIX_PATH="$tmp/prefix" >/dev/null
    cmake --build "$tmp/build" >/dev/null
    program="$tmp/build/consumer"
    ;;
  pkg-config)
    export PKG_CONFIG_PATH="$(dirname "$(find "$tmp/prefix" -name armkin.pc)")"
    # shellcheck disable=SC2046
    "$cxx" $flags "$consumer/main.cpp" $(pkg-config --cflags --libs armkin) -o "$tmp/consumer"
    program="$tmp/consumer"
    ;;
  add_subdirectory)
    # No build type given: the subproject must leave it empty, and build
    # nothing but the library.
    cmake -S "$consumer" -B "$tmp/build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
      -DCMAKE_CXX_FLAGS="$flags" -DARMKIN_SOURCE_DIR="$src" >/dev/null
    type="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$tmp/build/CMakeCache.txt")"
    [ -z "$type" ] || { echo "the subproject set the build type to '$type'" >&2; exit 1; }
    targets="$(cmake --build "$tmp/build" --target help)"
    for t in armconsole armdriver sliding_arm transcript_test; do
      if grep -q "^$t:" <<<"$targets"; then echo "the subproject added target $t" >&2; exit 1; fi
    done
    cmake --build "$tmp/build" >/dev/null
    program="$tmp/build/consumer"
    ;;
  *) echo "unknown way $way" >&2; exit 2 ;;
esac

want="$("$reference")"
got="$("$program")"
echo "reference: $want"
echo "consumer:  $got"
[ "$want" = "$got" ]
