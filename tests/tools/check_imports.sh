#!/bin/sh
# Usage: check_imports.sh PLAYER PROBE
# The import check passes the player (its DPI functions are found at run time) and refuses a
# program that imports one of them directly.
set -u
here=$(cd "$(dirname "$0")" && pwd)
check=$here/../../scripts/check-imports
player=$1 probe=$2
fail() { echo "FAIL: $*"; exit 1; }

out=$("$check" "$player") || fail "the player is refused: $out"
out=$("$check" "$probe") && fail "a program importing GetDpiForWindow passes"
echo "$out" | grep -q 'functions newer than Windows 7: GetDpiForWindow' || fail "unexpected message: $out"
echo "ok"
