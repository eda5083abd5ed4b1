#!/bin/sh
# Installs what is missing, builds Larkspur and starts it.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh
# shellcheck disable=SC2086
larkspur_install_packages $LARKSPUR_BUILD_PACKAGES qt6-wayland shared-mime-info
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPUR_BUILD_TESTS=OFF -DLARKSPUR_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)"
exec ./build/app/larkspur "$@"
