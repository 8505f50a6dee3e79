#!/bin/sh
# The bundled demo test checks clean, builds, and reads back whole through the player's
# archive access.
#   demo.sh TESTMAKER
set -eu
TM=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/examples/demo" "$work/src"
"$root/examples/demo/make-attachments.sh" "$work/src" "$(dirname "$TM")"
"$TM" check "$work/src" >"$work/check.json"
[ "$(jq '.errors | length' "$work/check.json")" = 0 ] || { cat "$work/check.json"; exit 1; }
[ "$(jq '.warnings | length' "$work/check.json")" = 0 ] || { cat "$work/check.json"; exit 1; }
printf 'MZ stand-in for the player' >"$work/player.exe"
"$TM" build "$work/src" -o "$work/demo.exe" --player "$work/player.exe" >/dev/null
"$TM" inspect "$work/demo.exe" >"$work/inspect.json"
summary=$(jq -c '{open, n: (.questions | length), errors: [.questions[].LastError] | add,
                  missing: [.questions[].missingAttachments[]] | length,
                  modes: [.questions[].question.AnswerMode] | unique}' "$work/inspect.json")
expected='{"open":true,"n":13,"errors":0,"missing":0,"modes":[0,1,2,3]}'
[ "$summary" = "$expected" ] || { echo "demo test reads back as $summary, expected $expected"; exit 1; }
