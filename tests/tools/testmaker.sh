#!/bin/sh
# testmaker as a user runs it, on an archive made by Info-ZIP zip and on one of our own.
#   testmaker.sh TESTMAKER APPENDPAYLOAD [LAUNCHER]
# LAUNCHER runs TESTMAKER when it is not a program of this system (scripts/wine-run).
set -eu
TESTMAKER=$1
APPEND=$2
LAUNCHER=${3:-}
case $TESTMAKER in /*) ;; *) TESTMAKER=$(pwd)/$TESTMAKER ;; esac
case $APPEND in /*) ;; *) APPEND=$(pwd)/$APPEND ;; esac
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh"
PASSWORD='Kp4#nV7q!Z'

# A question file by hand: text "2+2?" (cp1251), single choice, two answers, no attachments.
q() { printf "$@"; }
{
    q '\000\004\003\000\036\000\002\000\000\000\000\000\000NONONONO.NON2+2?'
    q '\000\001\012\000\000\000\000\000\000NONONONO.NON4'
    q '\000\001\000\000\000\000\000\000\000NONONONO.NON5'
} >Q0001.QST
printf 'Q0001.QST\r\nQ0002.QST\r\n' >INDEX.SYS
printf '[MAIN]\r\nPackLevel=6\r\nLastQuest=1\r\n' >INFO.SYS
printf '\000\000\001\000\000\000\000\000\000\000\000\000\000NONONONO.NON' >Q0002.QST

# Info-ZIP, standard signatures, traditional encryption with the test's password + tail.
zip -q -e -P "${PASSWORD}tail" peer.zip INDEX.SYS INFO.SYS Q0001.QST Q0002.QST
echo "Peer test" | zip -q -z peer.zip

TM list peer.zip --standard-signatures --password-tail tail >list.json
check "list: no error" test "$(jq -r '.error' list.json)" = null
check "list: comment" test "$(jq -r '.comment' list.json)" = "Peer test"
check "list: four entries" test "$(jq '.entries | length' list.json)" = 4
check "list: no payload in a bare archive" test "$(jq -r '.payload' list.json)" = null
check "list: encrypted entries" test "$(jq '[.entries[].flags % 2] | add' list.json)" = 4

mkdir out
check "extract: exit 0" TM extract peer.zip --standard-signatures --password-tail tail -d out >extract.json
for f in INDEX.SYS INFO.SYS Q0001.QST Q0002.QST; do check "extract: $f" cmp -s "$f" "out/$f"; done
set +e
TM extract peer.zip --standard-signatures --password-tail wrong -d out2 INDEX.SYS >wrong.json
rc=$?
set -e
check "extract: wrong password exits 1" test "$rc" = 1
check "extract: wrong password is the reason" test "$(jq -r '.skipped[0].reason' wrong.json)" = "wrong password"
set +e
TM extract peer.zip --standard-signatures -d out3 NOSUCH.BMP >/dev/null
rc1=$?
TM extract INDEX.SYS -d out4 >notzip.json
rc2=$?
set -e
check "extract: missing entry exits 1" test "$rc1" = 1
check "extract: not an archive exits 2" test "$rc2" = 2
check "extract: not an archive names the error" test "$(jq -r '.error.class' notzip.json)" = ENotAZipFile

TM question Q0001.QST >q.json
check "question: ok" test "$(jq -r '.ok' q.json)" = true
check "question: text" test "$(jq -r '.question.Text' q.json)" = "2+2?"
check "question: priority" test "$(jq -r '.question.Priority' q.json)" = 3
check "question: weights" test "$(jq -c '[.question.Answers[].Weight]' q.json)" = "[10,0]"

# Our own writer, with the test archive's signatures, inside a test executable.
TM add own.zip INDEX.SYS INFO.SYS Q0001.QST Q0002.QST --password-tail tail --comment "Наш тест" >add.json
check "add: four entries" test "$(jq -r '.added' add.json)" = 4
printf 'MZ not really a program' >player.exe
echo '{"InfoText": "Привет", "PasswordTail": "tail", "MaxScore": 5}' >settings.json
"$APPEND" player.exe own.zip settings.json test.exe
TM list test.exe >own.json
check "own: payload" test "$(jq -r '.payload.InfoText' own.json)" = "Привет"
check "own: archive size" test "$(jq -r '.ArchiveSize' own.json)" = "$(stat -c %s own.zip)"
check "own: comment" test "$(jq -r '.comment' own.json)" = "Наш тест"
check "own: deflated" test "$(jq -c '[.entries[].method] | unique' own.json)" = "[8]"
TM inspect test.exe >inspect.json
check "inspect: opens" test "$(jq -r '.open' inspect.json)" = true
check "inspect: question files" test "$(jq -c '.QuestionFiles' inspect.json)" = '["Q0001.QST","Q0002.QST"]'
check "inspect: LastQuest" test "$(jq -r '.LastQuest' inspect.json)" = 1
check "inspect: first question" test "$(jq -r '.questions[0].question.Text' inspect.json)" = "2+2?"
check "inspect: LastError of each" test "$(jq -c '[.questions[].LastError]' inspect.json)" = "[0,0]"
TM inspect test.exe --password-tail nope >bad.json || true
check "inspect: wrong tail fails with 5" test "$(jq -r '.LastError' bad.json)" = 5

# Our archive with the standard signatures passes Info-ZIP's own test.
TM add std.zip INDEX.SYS INFO.SYS Q0001.QST --standard-signatures --password-tail tail >/dev/null
check "unzip -t accepts our archive" unzip -qq -t -P "${PASSWORD}tail" std.zip

# Texts on the command line are UTF-8 (the console's wide arguments on Windows) and mean what
# the archive holds in Windows-1251: a Cyrillic password tail, entry names and the comment.
# Info-ZIP takes the password and the names as the bytes given.
cyr() { printf '%s' "$1" | iconv -f UTF-8 -t CP1251; }
mkdir cyr
printf 'picture bytes' >"cyr/$(cyr 'РИС00001.JPG')"
(cd cyr && zip -q -e -P "${PASSWORD}$(cyr 'хвост')" ../cyr.zip "$(cyr 'РИС00001.JPG')")
run cyrlist list cyr.zip --standard-signatures --password-tail хвост
check "list: a Cyrillic entry name" test "$(jq -r '.entries[0].name' cyrlist.out)" = "РИС00001.JPG"
run cyrextract extract cyr.zip --standard-signatures --password-tail хвост -d cyrout
check "extract: a Cyrillic password tail opens the archive" test "$rc" = 0
check "extract: the file is named in UTF-8" cmp -s "cyr/$(cyr 'РИС00001.JPG')" "cyrout/РИС00001.JPG"
run cyrnamed extract cyr.zip --standard-signatures --password-tail хвост -d cyrout2 РИС00001.JPG
check "extract: an entry named in UTF-8" test -f "cyrout2/РИС00001.JPG"
run cyrbad list cyr.zip --standard-signatures --password-tail 'хвост✓'
check "password tail: a character cp1251 lacks exits 1" test "$rc" = 1
check "password tail: names the character" grep -q -- '--password-tail: character "✓" (U+2713) cannot be stored' cyrbad.err
check "password tail: nothing printed as a result" test ! -s cyrbad.out
run cyradd add own-cyr.zip "cyr/$(cyr 'РИС00001.JPG')" --password-tail хвост --comment "Тест ✓"
check "add: a comment cp1251 cannot hold exits 1" test "$rc" = 1
check "add: names the character" grep -q -- '--comment: character "✓" (U+2713) cannot be stored' cyradd.err
check "add: writes nothing" test ! -e own-cyr.zip
run cyradd add own-cyr.zip cyrout/РИС00001.JPG --standard-signatures --password-tail хвост --comment "Тест"
check "add: a file named in UTF-8" test "$rc" = 0
check "add: the password as Info-ZIP reads it" unzip -qq -t -P "${PASSWORD}$(cyr 'хвост')" own-cyr.zip
run cyrlist2 list own-cyr.zip --standard-signatures --password-tail хвост
check "add: the entry named from the UTF-8 file name" test "$(jq -r '.entries[0].name' cyrlist2.out)" = "РИС00001.JPG"
check "add: the comment in cp1251" sh -c "unzip -z own-cyr.zip | tail -n 1 | grep -q \"\$(printf 'Тест' | iconv -t CP1251)\""

# An embedded object from a picture: the container header, then a compound file.
convert -size 40x30 xc:'#C81E28' BMP3:pic.bmp
TM make-ole pic.bmp -o pic.ole >ole.json
check "make-ole: signature" test "$(head -c 4 pic.ole)" = BDOC
check "make-ole: size printed" test "$(jq -r '.size' ole.json)" = "$(wc -c <pic.ole | tr -d ' ')"
check "make-ole: a compound file follows" test "$(od -An -tx1 -j12 -N8 pic.ole | tr -d ' \n')" = d0cf11e0a1b11ae1
set +e
TM make-ole INDEX.SYS -o bad.ole >bad-ole.json
rc=$?
set -e
check "make-ole: not a picture exits 1" test "$rc" = 1
check "make-ole: not a picture says why" test "$(jq -r '.error' bad-ole.json)" != null

# Only a command named on the line runs: no command, or one testmaker does not know, is an
# error, and never runs inspect (which would print the test as JSON).
for args in "" "frob test.exe" "INSPECT test.exe" "test.exe"; do
    run command $args
    check "command [$args]: refused" test "$rc" -ne 0
    check "command [$args]: nothing runs" test ! -s command.out
    check "command [$args]: says why" test -s command.err
done

exit $failed
