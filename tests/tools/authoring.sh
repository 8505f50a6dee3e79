#!/bin/sh
# testmaker's authoring commands as a teacher runs them: check, build, unpack, build again.
#   authoring.sh TESTMAKER [LAUNCHER]
# LAUNCHER runs TESTMAKER when it is not a program of this system (scripts/wine-run).
set -eu
TESTMAKER=$1
LAUNCHER=${2:-}
case $TESTMAKER in /*) ;; *) TESTMAKER=$(pwd)/$TESTMAKER ;; esac
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh"

printf 'MZ stand-in player' >player.exe
mkdir -p src/media
convert -size 16x8 xc:'#C81E28' src/media/Рисунок.jpeg
printf 'RIFF\024\000\000\000WAVEsound bytes' >src/tick.wav
cat >src/test.json <<'EOF'
{
  "Name": "Физика, 9 класс",
  "InfoText": "Прочтите вопросы.\nУдачи!",
  "PasswordTail": "хвост",
  "PackLevel": 4,
  "Questions": [
    {"Text": "Что на рисунке?", "Attach": "media/Рисунок.jpeg",
     "Answers": [{"Weight": 1, "Text": "Маятник", "Attach": {"File": "tick.wav", "AutoPlay": true}},
                 {"Text": "Пружина"}]},
    {"AnswerMode": "typed", "Text": "Столица Франции?", "Answers": [{"Weight": 1, "Text": ["Париж", "Paris"]}]},
    {"AnswerMode": "ordering", "Text": "По порядку",
     "Answers": [{"Weight": 1, "Text": "один", "Attach": "media/Рисунок.jpeg"}, {"Weight": 2, "Text": "два"}]}
  ]
}
EOF

run check check src
check "check: a good source exits 0" test "$rc" = 0
check "check: no errors or warnings" test "$(jq -c . check.out)" = '{"errors":[],"warnings":[]}'

run build build src -o out/test.exe --player player.exe
check "build: exit 0" test "$rc" = 0
check "build: summary" test "$(jq -c '[.questions, .attachments, .warnings]' build.out)" = '[3,2,[]]'
check "build: nothing on stderr" test ! -s build.err
check "build: the player comes first" test "$(head -c 18 out/test.exe)" = 'MZ stand-in player'
check "build: only the test in its folder" test "$(ls -A out)" = test.exe

run list list out/test.exe
check "list: the name" test "$(jq -r .comment list.out)" = "Физика, 9 класс"
check "list: the tail" test "$(jq -r .payload.PasswordTail list.out)" = "хвост"
check "list: line breaks stored as /n" test "$(jq -r .payload.InfoText list.out)" = "Прочтите вопросы./nУдачи!"
check "list: entries" test "$(jq -c '[.entries[].name]' list.out)" = \
    '["Q0001.QST","Q0002.QST","Q0003.QST","A0000001.JPG","A0000002.WAV","INDEX.SYS","INFO.SYS"]'
check "list: encrypted and deflated" \
    test "$(jq -c '[.entries[] | [.flags % 2, .method]] | unique' list.out)" = '[[1,8]]'

run inspect inspect out/test.exe
check "inspect: opens" test "$(jq -r .open inspect.out)" = true
check "inspect: no attachment missing" test "$(jq -c '[.questions[].missingAttachments[]]' inspect.out)" = '[]'
check "inspect: typed variants" test "$(jq -r '.questions[1].question.Answers[0].Text' inspect.out)" = "Париж¦Paris"
check "inspect: attachment kinds" \
    test "$(jq -c '.questions[0].question | [.AttachKind, .Answers[0].AttachKind]' inspect.out)" = '[1,2]'

run unpack unpack out/test.exe -o unpacked
check "unpack: exit 0" test "$rc" = 0
check "unpack: summary" test "$(jq -c '[.questions, .attachments, .warnings]' unpack.out)" = '[3,2,[]]'
check "unpack: attachment bytes" cmp -s src/media/Рисунок.jpeg unpacked/A0000001.JPG
check "unpack: variants as a list" \
    test "$(jq -c '.Questions[1].Answers[0].Text' unpacked/test.json)" = '["Париж","Paris"]'
check "unpack: the settings" test "$(jq -c '[.Name, .PasswordTail, .PackLevel, .InfoText]' unpacked/test.json)" = \
    '["Физика, 9 класс","хвост",4,"Прочтите вопросы.\nУдачи!"]'

run rebuild build unpacked -o again.exe --player player.exe
check "rebuild: exit 0" test "$rc" = 0
TM list again.exe >again.json
check "rebuild: same settings" test "$(jq -cS .payload again.json)" = "$(jq -cS .payload list.out)"
check "rebuild: same entries" test "$(jq -c '[.comment, [.entries[] | [.name, .crc, .size]]]' again.json)" = \
    "$(jq -c '[.comment, [.entries[] | [.name, .crc, .size]]]' list.out)"

run full unpack out/test.exe -o unpacked
check "unpack: a folder that is not empty is refused" test "$rc" = 1
check "unpack: says why" grep -q 'is not an empty folder' full.err
run notest unpack player.exe -o nothing
check "unpack: a file without a test is refused" test "$rc" = 1
check "unpack: creates no folder" test ! -e nothing

# A warning does not stop the build.
mkdir warn
cp src/tick.wav warn/
echo '{"Questions": [{"AnswerMode": "ordering", "Text": "q",
                     "Answers": [{"Text": "a", "Attach": "tick.wav"}, {"Text": "b"}]}]}' >warn/test.json
run warn build warn -o warn.exe --player player.exe
check "warning: exit 0" test "$rc" = 0
check "warning: in the summary" test "$(jq -r '.warnings[0]' warn.out)" = \
    'question 1: all answers have the same Weight, so any order is right'
check "warning: on stderr" grep -q '^testmaker: warning: question 1: all answers have the same Weight' warn.err
check "warning: the folder name is the test's name" test "$(TM list warn.exe | jq -r .comment)" = warn

# Bad sources: one message naming the place, exit 1, and the earlier output left as it was.
mkdir bad
cp src/tick.wav bad/
cp src/tick.wav bad/tick.png
cp out/test.exe bad-out.exe
bad() { # description, test.json, expected message
    printf '%s' "$2" >bad/test.json
    run bad build bad -o bad-out.exe --player player.exe
    check "$1: build exits 1" test "$rc" = 1
    check "$1: one message" test "$(wc -l <bad.err)" = 1
    check "$1: the message" grep -qF "testmaker: error: $3" bad.err
    if [ "$(wc -l <bad.err)" != 1 ] || ! grep -qF "testmaker: error: $3" bad.err; then
        echo "stderr was:" >&2
        cat bad.err >&2
    fi
    check "$1: nothing on stdout" test ! -s bad.out
    check "$1: the old output stays" cmp -s out/test.exe bad-out.exe
    check "$1: nothing left beside it" test "$(ls -A | grep -c bad-out)" = 1
    run badcheck check bad
    check "$1: check exits 1" test "$rc" = 1
    check "$1: check names it" test "$(jq -r '.errors[0]' badcheck.out | grep -cF "$3")" = 1
}
bad "broken JSON" '{"Questions": [}' 'test.json: broken JSON: parse error at line 1, column 16'
bad "a key of the wrong type" '{"MaxScore": "five"}' 'MaxScore: expected a whole number, found a text'
bad "an unknown key" '{"Questions": [{"Answers": [{"Wieght": 1}]}]}' \
    'question 1, Answers[1]: unknown key "Wieght" (did you mean "Weight"?)'
bad "an unknown answer mode" '{"Questions": [{"AnswerMode": "essay"}]}' \
    'question 1, AnswerMode: unknown answer mode "essay"'
bad "a text cp1251 cannot hold" \
    '{"Questions": [{"Text": "q", "Answers": [{"Weight": 1, "Text": "a"}, {"Text": "верно ✓"}]}]}' \
    'question 1, Answers[2].Text: character "✓" (U+2713) cannot be stored'
head -c 200 src/media/Рисунок.jpeg >bad/cut.jpg
bad "a picture cut short" \
    '{"Questions": [{"Text": "q", "Answers": [{"Weight": 1, "Text": "a"}, {"Text": "b", "Attach": "cut.jpg"}]}]}' \
    'question 1, Answers[2].Attach.File: "cut.jpg": the player would show an empty frame: '
printf 'RIFF sound bytes' >bad/fake.wav
bad "a sound without its header" \
    '{"Questions": [{"Text": "q", "Attach": "fake.wav", "Answers": [{"Weight": 1, "Text": "a"}]}]}' \
    'question 1, Attach.File: "fake.wav": the player would show an empty frame: not a WAVE sound (no RIFF WAVE header)'
bad "a missing attachment" \
    '{"Questions": [{"Text": "q", "Attach": "gone.jpg", "Answers": [{"Weight": 1, "Text": "a"}]}]}' \
    'question 1, Attach.File: "gone.jpg" is missing'
bad "an empty typed variant" \
    '{"Questions": [{"AnswerMode": "typed", "Text": "q", "Answers": [{"Weight": 1, "Text": ["a", " "]}]}]}' \
    'question 1, Answers[1].Text: variant 2 is empty'
bad "a picture kind the player cannot show" \
    '{"Questions": [{"Text": "q", "Attach": "tick.png", "Answers": [{"Weight": 1, "Text": "a"}]}]}' \
    'question 1, Attach.File: "tick.png": the player cannot show .png files'
run nofolder check no-such-folder
check "check: a missing folder exits 1" test "$rc" = 1
check "check: names it" grep -q 'no-such-folder: no such folder' nofolder.out

# The player beside testmaker, or where the Windows build puts it; a clear word when neither.
mkdir -p tools/native/bin tools/win32/bin tools/win64/bin
tool=tools/native/bin/$(basename "$TESTMAKER")
cp "$TESTMAKER" "$tool"
set +e
$LAUNCHER "$tool" build src -o found.exe >nf.out 2>nf.err
rc=$?
set -e
check "no player: exit 1" test "$rc" = 1
check "no player: says so" \
    grep -q 'no player found (looked for .*testplayer.exe.*testplayer.exe): give one with --player' nf.err
check "no player: no output" test ! -e found.exe
# The x86_64 test build is never taken by itself: a teacher gets the shipped 32-bit player.
printf 'MZ the x86_64 player' >tools/win64/bin/testplayer.exe
set +e
$LAUNCHER "$tool" build src -o found.exe >/dev/null 2>nf.err
rc=$?
set -e
check "the x86_64 test build is not the default" test "$rc" = 1
printf 'MZ the built player' >tools/win32/bin/testplayer.exe
$LAUNCHER "$tool" build src -o found.exe >/dev/null
check "the shipped (i686) build's player" test "$(head -c 19 found.exe)" = 'MZ the built player'
printf 'MZ the player beside' >tools/native/bin/testplayer.exe
$LAUNCHER "$tool" build src -o found.exe >/dev/null
check "the player beside testmaker comes first" test "$(head -c 20 found.exe)" = 'MZ the player beside'

exit $failed
