#!/bin/sh
# Runs one test program with a fresh, private HOME and XDG directories, so
# that nothing it does reaches the real settings, data or Trash.
set -u
scratch=$(mktemp -d "${TMPDIR:-/tmp}/larkspur-test.XXXXXX") || exit 1
chmod 700 "$scratch"
mkdir -p "$scratch/home" "$scratch/config" "$scratch/data" "$scratch/runtime" "$scratch/tmp"
chmod 700 "$scratch/runtime"
HOME="$scratch/home"
XDG_CONFIG_HOME="$scratch/config"
XDG_DATA_HOME="$scratch/data"
XDG_RUNTIME_DIR="$scratch/runtime"
XDG_CACHE_HOME="$scratch/cache"
TMPDIR="$scratch/tmp"
export HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_RUNTIME_DIR XDG_CACHE_HOME TMPDIR
unset DBUS_SESSION_BUS_ADDRESS
"$@"
status=$?
# Tests may leave folders they made unreadable or unwritable.
chmod -R u+rwx "$scratch" 2>/dev/null
rm -rf "$scratch"
exit $status
