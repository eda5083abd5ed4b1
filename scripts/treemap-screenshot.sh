#!/bin/bash
# Makes docs/treemap.png: builds the screenshot driver, generates a small
# tree of files of every family, and lets the program scan it and show its
# treemap on a virtual X server (xvfb-run), with HOME and XDG_* in a scratch
# folder so that no real setting is read or written.
#
# Usage: scripts/treemap-screenshot.sh [BUILD_DIR]   (build-bench by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPUR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target larkspur_treemap_shot >/dev/null
command -v xvfb-run >/dev/null || { echo "needs xvfb-run (Debian package xvfb)" >&2; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/larkspur-shot.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
tree=$scratch/Projects
python3 - "$tree" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(7)
kinds = ["jpg", "png", "mp4", "mkv", "mp3", "flac", "zip", "tar.gz", "pdf", "odt", "cpp", "py",
         "so", "deb", "iso", "ttf", "dat"]
folders = ["photos/2024", "photos/2025", "music/albums", "video", "src/engine", "src/ui",
           "downloads", "documents/letters", "documents/reports", "fonts", "images"]
for index, folder in enumerate(folders):
    path = os.path.join(root, folder)
    os.makedirs(path, exist_ok=True)
    for number in range(random.randint(6, 30)):
        kind = random.choice(kinds[index % len(kinds):] + kinds[:3])
        size = int(random.lognormvariate(11, 1.6))
        with open(os.path.join(path, f"file{number}.{kind}"), "wb") as out:
            out.truncate(0)
            out.write(b"\1" * min(size, 40_000_000))
PY
mkdir -p "$scratch"/{home,config,data,cache,runtime} && chmod 700 "$scratch/runtime"
mkdir -p docs
HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data \
XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime \
    xvfb-run -a -s '-screen 0 1280x800x24' \
    "$build/bench/larkspur_treemap_shot" "$tree" "$PWD/docs/treemap.png"
