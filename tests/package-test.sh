#!/bin/sh
# Builds the Debian package from a built tree, unpacks it with dpkg -x into a
# throw-away root (never the system) and checks what it holds: its control
# fields, the desktop entry, the icons, the help, that the programs find all
# their libraries, and that the packaged report runs.
# Usage: package-test.sh BUILD-DIR VERSION ICON-SIZE...
set -u
build=$1
version=$2
shift 2
sizes=$*
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d "${TMPDIR:-/tmp}/larkspur-package.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
set -- "$work"/out/larkspur_*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    ls "$work/out"
    echo "FAIL: expected one larkspur_*.deb"
    exit 1
fi
deb=$1

[ "$(dpkg-deb -f "$deb" Package)" = larkspur ] || fail "package name: $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version: $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libqt6core6 libqt6gui6 libqt6widgets6 libglib2.0-0 qt6-qpa-plugins shared-mime-info; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//' | grep -q "^$package\\( \\|\$\\)" \
        || fail "Depends lacks $package"
done

root="$work/root"
dpkg -x "$deb" "$root"
usr="$root/usr"
for file in bin/larkspur share/applications/larkspur.desktop share/larkspur/help/larkspur.html \
    share/icons/hicolor/scalable/apps/larkspur.svg; do
    [ -f "$usr/$file" ] || fail "missing /usr/$file"
done

desktop-file-validate "$usr/share/applications/larkspur.desktop" || fail "desktop entry not valid"
grep -q '^Exec=larkspur$' "$usr/share/applications/larkspur.desktop" || fail "Exec is not larkspur"
grep -q '^Icon=larkspur$' "$usr/share/applications/larkspur.desktop" || fail "Icon is not larkspur"
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/larkspur.svg" || fail "the SVG icon is no SVG"

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for size in $sizes; do
    png="$usr/share/icons/hicolor/${size}x${size}/apps/larkspur.png"
    if [ ! -f "$png" ]; then
        fail "missing the ${size}x${size} icon"
        continue
    fi
    set -- $(od -An -tu1 -j16 -N8 "$png")
    width=$(($1 * 16777216 + $2 * 65536 + $3 * 256 + $4))
    height=$(($5 * 16777216 + $6 * 65536 + $7 * 256 + $8))
    [ "$width" -eq "$size" ] && [ "$height" -eq "$size" ] \
        || fail "the ${size}x${size} icon is ${width}x${height}"
done

# The packaged programs must not lean on the build tree for a library.
for program in "$usr"/bin/*; do
    if ldd "$program" | grep -q "not found"; then
        ldd "$program"
        fail "$(basename "$program") lacks a library"
    fi
done

report="$usr/bin/larkspur-report"
if [ -e "$report" ]; then
    [ -f "$usr/share/man/man1/larkspur-report.1.gz" ] || fail "missing the report's manual page"
    gzip -t "$usr/share/man/man1/larkspur-report.1.gz" || fail "the manual page is not gzip"
    if "$report" /usr/share/doc >"$work/report.out" 2>"$work/report.err"; then
        # The scanned folder itself is reported, with its two sizes.
        grep -q "$(printf '^folder\t[0-9][0-9]*\t[0-9][0-9]*\t/usr/share/doc$')" "$work/report.out" \
            || fail "the report names no /usr/share/doc folder line"
        [ ! -s "$work/report.err" ] || fail "the report wrote to a standard error that is no terminal"
    else
        fail "larkspur-report /usr/share/doc failed: $(cat "$work/report.err")"
    fi
    "$report" --no-such-option /usr/share/doc >/dev/null 2>"$work/option.err"
    status=$?
    [ "$status" -eq 2 ] || fail "a bad option gave status $status, not 2"
    [ "$(wc -l <"$work/option.err")" -eq 1 ] || fail "a bad option gave no one-line message"
else
    echo "larkspur-report is not part of this build: its checks are skipped"
fi

[ "$failures" -eq 0 ] || exit 1
echo "The package $(basename "$deb") holds what it should"
