#!/bin/sh
# The release as a teacher gets it. scripts/release makes the zip; it is unpacked into an empty
# folder and checked there: its files and their sums, both programs 32-bit, importing only
# Windows' own DLLs, with their icon and version. This kernel runs no 32-bit code, so the
# x86_64 testmaker.exe of the same sources stands in for the zip's under Wine: it builds the
# demo into the zip's player (the test reads back whole and keeps the player's resources), and
# into the x86_64 player, which is run to its registration window; then every command of the
# guide is run in the unpacked folder through the command prompt.
#   release.sh TESTMAKER64 PLAYER64     (TP_PLAYER etc. as for the end-to-end checks)
TM64=$1
PLAYER64=$2
. "$(dirname "$0")/../e2e/lib/common.sh"
root=$E2E_ROOT

zip=$("$root/scripts/release" "$WORK/dist" 2>"$WORK/release.log") ||
    { cat "$WORK/release.log" >&2; fail "scripts/release failed"; finish; }
[ -f "$zip" ] || { fail "scripts/release printed \"$zip\", which is no file"; finish; }

# Windows programs under Wine, output relayed through files (see scripts/wine-run).
wine_in() { # dir program args...
    dir=$1
    shift
    (cd "$dir" && "$WINE" "$@" </dev/null >"$WORK/wine.out" 2>"$WORK/wine.err")
    rc=$?
    tr -d '\r' <"$WORK/wine.out"
    return $rc
}
start_xvfb

version=$(wine_in "$WORK" "$TM64" --version) || fail "testmaker.exe --version failed"
[ "$version" = "testmaker $(sed -n 's/^project(testplayer VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")" ] ||
    fail "testmaker --version prints \"$version\", not the project's version"
version=${version#testmaker }
[ "$(basename "$zip")" = "testplayer-$version-windows.zip" ] || fail "the zip is named $(basename "$zip")"

u=$WORK/unpacked
mkdir "$u"
(cd "$u" && unzip -q "$zip") || fail "the zip does not unpack"
# What is in it, and nothing else; the demo as make-attachments.sh draws it.
mkdir "$WORK/demo"
cp "$root/examples/demo/test.json" "$WORK/demo/"
"$root/examples/demo/make-attachments.sh" "$WORK/demo" "$(dirname "$TP_TESTMAKER")"
expected=$( (printf '%s\n' SHA256SUMS testmaker.exe testplayer.exe РУКОВОДСТВО.html
             cd "$WORK" && find demo -type f) | LC_ALL=C sort)
unpacked=$(cd "$u" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$unpacked" = "$expected" ] || fail "the zip holds:
$unpacked
expected:
$expected"
# Explorer reads a name without the UTF-8 flag in the OEM code page: РУКОВОДСТВО.html would be garbled.
unflagged=$(python3 -c '
import sys, zipfile
for i in zipfile.ZipFile(sys.argv[1]).infolist():
    if not i.filename.isascii() and not i.flag_bits & 0x800: print(i.filename)' "$zip")
[ -z "$unflagged" ] || fail "names not marked as UTF-8 in the zip: $unflagged"
(cd "$u" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
summed=$(sed 's/^[0-9a-f]*  //' "$u/SHA256SUMS" | LC_ALL=C sort)
[ "$summed" = "$(echo "$unpacked" | grep -v '^SHA256SUMS$')" ] || fail "SHA256SUMS does not list every file: $summed"
grep -q '@VERSION@' "$u/РУКОВОДСТВО.html" && fail "the guide's version is not filled in"
grep -q "Версия $version" "$u/РУКОВОДСТВО.html" || fail "the guide does not name version $version"

# A 32-bit Windows program with the icon in every size Explorer asks for and the version.
check_program() { # exe original_name
    objdump -f "$1" | grep -q 'file format pei-i386' || fail "$1 is not a 32-bit Windows program"
    "$root/scripts/check-imports" "$1" || fail "$1 imports DLLs beyond Windows' own"
    rc_text=$(x86_64-w64-mingw32-windres -i "$1" -O rc 2>&1) || { fail "windres cannot read the resources of $1"; return; }
    sizes=$(printf "%s\n" "$rc_text" | sed -n 's/^ *"\\\([0-9]*\)\\\([0-9]*\)\\000\\000", 1, 32,.*/\1/p' | tr '\n' ' ')
    # Octal widths; 0 stands for 256.
    [ "$sizes" = "020 040 060 000 " ] || fail "$1: icon sizes (octal) are \"$sizes\", not 16 32 48 256"
    for value in "FileVersion\", \"$version\"" "ProductVersion\", \"$version\"" 'ProductName", "testplayer"' \
        "OriginalFilename\", \"$2\"" 'FileDescription", L"' 'LegalCopyright", L"\251 '; do
        printf "%s\n" "$rc_text" | grep -qF "VALUE \"$value" || fail "$1: no version value $value"
    done
    printf "%s\n" "$rc_text" | grep -q "FILEVERSION $(echo "$version" | sed 's/\./, /g'), 0" || fail "$1: FILEVERSION is not $version"
}
check_program "$u/testplayer.exe" testplayer.exe
check_program "$u/testmaker.exe" testmaker.exe

# The guide runs in a copy, its testmaker.exe the x86_64 one beside the zip's player.
cp -r "$u" "$WORK/guide"
cp "$TM64" "$WORK/guide/testmaker.exe"

# The demo: its source and an output name, and the zip's player.
wine_in "$u" "$TM64" build demo -o демо.exe --player testplayer.exe >"$WORK/build.json" ||
    fail "testmaker.exe could not build the demo into the zip's player: $(cat "$WORK/build.json" "$WORK/wine.err")"
wine_in "$u" "$TM64" inspect демо.exe >"$WORK/inspect.json" || fail "testmaker.exe cannot inspect the demo test"
summary=$(jq -c '{open, n: (.questions | length), errors: [.questions[].LastError] | add,
                  missing: [.questions[].missingAttachments[]] | length}' "$WORK/inspect.json")
[ "$summary" = '{"open":true,"n":13,"errors":0,"missing":0}' ] || fail "the demo test reads back as $summary"
check_program "$u/демо.exe" testplayer.exe

# The same into the x86_64 player, run as far as its registration window.
wine_in "$u" "$TM64" build demo -o демо64.exe --player "$PLAYER64" >/dev/null ||
    fail "testmaker.exe could not build the demo into the x86_64 player"
start_player "$u/демо64.exe"
if box=$(wait_visible '^Информация теста \.\.\.$' "$E2E_START_SECONDS"); then
    press_return_in "$box"
    wait_visible '^Регистрация нового пользователя$' 20 >/dev/null ||
        fail "the demo test shows no registration window; shown: $(shown_windows)"
else
    fail "the demo test shows no information box; shown: $(shown_windows)"
fi
"${WINE%/*}/wineserver" -k 2>/dev/null || true

python3 "$root/tests/tools/lib/guide.py" "$WORK/guide/РУКОВОДСТВО.html" "$WORK/guide" "$WINE" cmd /c ||
    fail "a command of the guide does not work"
finish
