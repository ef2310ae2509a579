#!/usr/bin/env bash
# Installs a build into a temporary prefix, then builds and runs the consumer against it twice: through
# find_package(ZemoxGeom) and through pkg-config. The consumer gets the build's own compiler flags, so
# a sanitizer build's libraries meet the runtime they expect.
# Usage: consumer.sh BUILD_DIR CONSUMER_SOURCE_DIR CXX "CXX_FLAGS" "EXE_LINKER_FLAGS"
set -euo pipefail
build=$1 source=$2 cxx=$3 cxxflags=$4 ldflags=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null

cmake -S "$source" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$work/cmake" -j2 >/dev/null
"$work/cmake/consumer"

pc_path=$(dirname "$(find "$work/prefix" -name zemoxgeom.pc)")
module=$(find "$work/prefix" -name geom.module.so)
# shellcheck disable=SC2046,SC2086  # the flags are word lists
"$cxx" -std=c++20 $cxxflags -Wall -Wextra -Wpedantic -Werror -DZEMOX_MODULE_PATH="\"$module\"" \
  "$source/main.cpp" $(PKG_CONFIG_PATH="$pc_path" pkg-config --cflags --libs zemoxgeom) $ldflags -ldl \
  -o "$work/consumer-pkgconfig"
LD_LIBRARY_PATH="$(dirname "$(dirname "$module")")" "$work/consumer-pkgconfig"
