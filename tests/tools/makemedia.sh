#!/bin/sh
# makemedia as the demo and the tests run it: each kind, its defaults, and bad arguments.
#   makemedia.sh MAKEMEDIA
set -eu
MM=$1
case $MM in /*) ;; *) MM=$(pwd)/$MM ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
check() { # description, command...
    what=$1
    shift
    if ! "$@"; then
        echo "FAIL: $what" >&2
        failed=1
    fi
}
size() { wc -c <"$1" | tr -d ' '; }
head4() { head -c 4 "$1"; }

"$MM" wav tone.wav 500 880
check "a 500 ms tone is 44 header bytes and 8000 Hz of 16-bit samples" [ "$(size tone.wav)" = 8044 ]
"$MM" wav default.wav
check "a tone lasts a second by default" [ "$(size default.wav)" = 16044 ]
"$MM" avi clip.avi 8 6 3
check "an AVI starts as RIFF" [ "$(head4 clip.avi)" = RIFF ]
check "an AVI of 8x6x3 holds three frames of 8*6*4 bytes" [ "$(size clip.avi)" -gt $((3 * 8 * 6 * 4)) ]
"$MM" mid tune.mid 300
check "a MIDI file starts with its header" [ "$(head4 tune.mid)" = MThd ]

for args in "" "wav" "ogg x.ogg" "wav x.wav 0" "wav x.wav ten" "avi x.avi 64" "mid x.mid 1 2"; do
    # shellcheck disable=SC2086
    if "$MM" $args 2>/dev/null; then
        echo "FAIL: makemedia $args was accepted" >&2
        failed=1
    fi
done
check "a folder that does not exist is an error" sh -c "! '$MM' wav missing/x.wav 2>/dev/null"
exit $failed
