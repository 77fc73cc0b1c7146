#!/usr/bin/env bash
# check_io_consumer.sh SOURCE_DIR BUILD_DIR WAY
# WAY is find_package or pkg-config. Installs armkin into a temporary prefix,
# builds the loader consumer against it that way and checks what it prints.
set -euo pipefail
src="$1" build="$2" way="$3"
consumer="$src/tests/package/consumer_io"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
case "$way" in
  find_package)
    cmake -S "$consumer" -B "$tmp/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_PREFIX_PATH="$tmp/prefix" >/dev/null
    cmake --build "$tmp/build" >/dev/null
    program="$tmp/build/consumer_io"
    ;;
  pkg-config)
    export PKG_CONFIG_PATH="$(dirname "$(find "$tmp/prefix" -name armkin-io.pc)")"
    # shellcheck disable=SC2046
    g++ -O2 "$consumer/main.cpp" $(pkg-config --cflags --static --libs armkin-io) -o "$tmp/consumer_io"
    program="$tmp/consumer_io"
    ;;
  *) echo "unknown way $way" >&2; exit 2 ;;
esac

want="urdf: RRRRRR, tool at height 3.200
yaml: RRRRRR, tool at height 3.200
inline:1: malformed XML: mismatched element"
got="$("$program" "$src/arms/builtin.urdf" "$src/arms/builtin.yaml")"
echo "$got"
[ "$want" = "$got" ]
