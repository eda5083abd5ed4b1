#!/bin/sh
# Fails when a source file includes a header of a higher layer. Layers, lowest
# first: resources, platform, model, engine, framework, then tree, lists and
# treemap (which may use each other's contracts), then app and report.
set -eu
cd "$(dirname "$0")/.."
rank() {
    case $1 in
        resources) echo 0 ;; platform) echo 1 ;; model) echo 2 ;; engine) echo 3 ;;
        framework) echo 4 ;; tree | lists | treemap) echo 5 ;; app | report) echo 6 ;; *) echo "" ;;
    esac
}
status=0
for folder in resources platform model engine framework tree lists treemap app report; do
    own=$(rank "$folder")
    for file in "$folder"/*.cpp "$folder"/*.h; do
        [ -e "$file" ] || continue
        for used in $(sed -n 's@^#include "\([a-z]*\)/.*@\1@p' "$file" | sort -u); do
            theirs=$(rank "$used")
            [ -n "$theirs" ] || continue
            if [ "$theirs" -gt "$own" ] ||
                { [ "$theirs" -eq "$own" ] && [ "$own" -eq 6 ] && [ "$used" != "$folder" ]; }; then
                echo "$file includes $used/, a higher layer" >&2
                status=1
            fi
        done
    done
done
exit $status
