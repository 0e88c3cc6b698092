#!/usr/bin/env bash
# Unpacks the package ZIP into WORK/prefix, then configures and builds the
# consumer project (this folder) in WORK/build with TOOLCHAIN and
# CMAKE_PREFIX_PATH=WORK/prefix. The program lands in WORK/build with
# d418lib.dll beside it.
#
# The project's toolchain files confine find_package to the MinGW sysroot
# (CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY), as cross toolchains do, so the
# build uses WORK/toolchain.cmake: TOOLCHAIN itself, plus the unpacked
# package as one more root, which is how a cross build adds an SDK.
#
#   build_consumer.sh ZIP TOOLCHAIN WORK
set -eu
[ $# -eq 3 ] || { echo "usage: build_consumer.sh ZIP TOOLCHAIN WORK" >&2; exit 2; }
zip=$1 toolchain=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work/prefix"
/usr/bin/python3 -m zipfile -e "$zip" "$work/prefix"
cat >"$work/toolchain.cmake" <<TOOLCHAIN
include("$toolchain")
list(APPEND CMAKE_FIND_ROOT_PATH "$work/prefix")
TOOLCHAIN
cmake -S "$here" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_PREFIX_PATH="$work/prefix"
cmake --build "$work/build"
ls -l "$work/build/consumer.exe" "$work/build/d418lib.dll"
