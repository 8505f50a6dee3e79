#!/bin/sh
# testmaker import-gift as a teacher runs it: a Moodle GIFT bank becomes a source folder that
# checks clean, builds, and opens with the questions it had.
#   import_gift.sh TESTMAKER [LAUNCHER]
# LAUNCHER runs TESTMAKER when it is not a program of this system (scripts/wine-run).
set -eu
TESTMAKER=$1
LAUNCHER=${2:-}
case $TESTMAKER in /*) ;; *) TESTMAKER=$(pwd)/$TESTMAKER ;; esac
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh"

printf 'MZ stand-in player' >player.exe
# With a byte order mark, as Windows editors save it; one question with Windows line ends.
printf '\357\273\277' >bank.txt
cat >>bank.txt <<'EOF'
// Exported from a course
$CATEGORY: $course$/top/Биология

::Клетка::[html]<p>Что такое <b>клетка</b>?</p>{
=Единица жизни#Верно!
~%-50%Молекула
~Орган
}

Чётные числа? {~%50%2 ~%50%4 ~%-100%5}

Столица Франции? {=Париж =Paris}

Вода кипит при 100 \{°C\}\nна уровне моря {T}

По возрастанию {> атом > клетка > организм}

::Пары::Соедините {=a -> b =c -> d}

Сколько будет 2+2? {#4}

EOF
printf 'Верно ли, что 2 \\= 2? {TRUE}\r\n' >>bank.txt

run import import-gift bank.txt -o src
check "import: exit 0" test "$rc" = 0
check "import: nothing on stderr" test ! -s import.err
is "import: summary" import.out '[.questions, .skipped, .errors]' '[6,2,[]]'
is "import: the skipped, with their lines" import.out .warnings \
    '["line 18, question \"Пары\": a matching question has no equivalent in a test: skipped","line 20, question \"Сколько будет 2+2?\": a numerical question has no equivalent in a test: skipped"]'
# The Windows build prints Windows paths.
is "import: the output folder" import.out '.output | gsub("\\\\"; "/") | endswith("/src")' true
is "test.json: the category's name" src/test.json .Name '"Биология"'
is "test.json: the defaults" src/test.json '[.MaxScore, .ShowMark, .PackLevel, .QuestionsPerTest]' '[5,true,6,6]'
is "test.json: modes" src/test.json '[.Questions[].AnswerMode]' \
    '["single","multiple","typed","single","ordering","single"]'
is "test.json: texts" src/test.json '[.Questions[].Text]' \
    '["Что такое клетка?","Чётные числа?","Столица Франции?","Вода кипит при 100 {°C}\nна уровне моря","По возрастанию","Верно ли, что 2 = 2?"]'
is "test.json: weights" src/test.json '[.Questions[] | [.Answers[].Weight]]' \
    '[[100,-50,0],[50,50,-100],[100],[100,0],[1,2,3],[100,0]]'
is "test.json: variants" src/test.json '.Questions[2].Answers[0].Text' '["Париж","Paris"]'

run check check src
check "check: exit 0" test "$rc" = 0
is "check: clean" check.out . '{"errors":[],"warnings":[]}'

run build build src -o test.exe --player player.exe
check "build: exit 0" test "$rc" = 0
is "build: summary" build.out '[.questions, .warnings]' '[6,[]]'

run inspect inspect test.exe
check "inspect: exit 0" test "$rc" = 0
is "inspect: the name" inspect.out .comment '"Биология"'
is "inspect: modes" inspect.out '[.questions[].question.AnswerMode]' '[0,2,1,0,3,0]'
is "inspect: texts, line breaks as the player stores them" inspect.out '.questions[3].question.Text' \
    '"Вода кипит при 100 {°C}/nна уровне моря"'
is "inspect: answers" inspect.out '[.questions[0,2,4].question | [.Answers[] | [.Weight, .Text]]]' \
    '[[[100,"Единица жизни"],[-50,"Молекула"],[0,"Орган"]],[[100,"Париж¦Paris"]],[[1,"атом"],[2,"клетка"],[3,"организм"]]]'

# Settings GIFT has no word for.
echo '{"Name": "Биология, 9 класс", "MaxScore": 10, "KeepAnswerOrder": true}' >settings.json
run settings import-gift bank.txt -o src2 --settings settings.json
check "settings: exit 0" test "$rc" = 0
is "settings: in test.json" src2/test.json '[.Name, .MaxScore, .KeepAnswerOrder, .ShowMark]' \
    '["Биология, 9 класс",10,true,true]'
echo '{"MaxScore": "ten"}' >bad-settings.json
run badsettings import-gift bank.txt -o src3 --settings bad-settings.json
check "bad settings: exit 1" test "$rc" = 1
is "bad settings: named" badsettings.out '.errors' '["bad-settings.json: MaxScore: expected a whole number, found a text"]'
check "bad settings: no folder" test ! -e src3

# An earlier import is kept unless --force.
cp src/test.json kept.json
printf 'Новый вопрос {=да ~нет}\n' >new.txt
run again import-gift new.txt -o src
check "again: exit 1" test "$rc" = 1
is "again: says why" again.out '[.output, (.errors[] | gsub("\\\\"; "/"))]' \
    '[null,"src/test.json exists already (--force replaces it)"]'
check "again: the old test.json stays" cmp -s src/test.json kept.json
run force import-gift new.txt -o src --force
check "force: exit 0" test "$rc" = 0
is "force: replaced" src/test.json '[.Name, .Questions[0].Text]' '["new","Новый вопрос"]'

# Errors name their lines; nothing is written.
cat >bad.txt <<'EOF'
Хороший вопрос {=да ~нет}

Без правильного ответа {~a ~b}

Незакрытая
скобка {=a
~b

// comment
Вес {=a ~%150%b}
EOF
run bad import-gift bad.txt -o badsrc
check "bad: exit 1" test "$rc" = 1
is "bad: every error with its line" bad.out '[.output, .questions, .errors]' \
    '[null,0,["line 3, question \"Без правильного ответа\": no answer is right: mark one with \"=\" or give weights like ~%50%","line 6, question \"Незакрытая скобка\": \"{\" is never closed","line 10, question \"Вес\": weight %150% is out of range: weights are percentages from -100 to 100"]]'
check "bad: no folder" test ! -e badsrc
printf '\302\356\357\360\356\361 {=\344\340 ~\355\345\362}\n' >cp1251.txt
run cp1251 import-gift cp1251.txt -o cpsrc
check "cp1251: exit 1" test "$rc" = 1
is "cp1251: says so" cp1251.out .errors '["line 1: not UTF-8 text (the bank must be saved as UTF-8)"]'
run missing import-gift no-such-bank.txt -o nosrc
check "missing: exit 1" test "$rc" = 1
is "missing: says so" missing.out .errors '["no-such-bank.txt: cannot be read"]'

exit $failed
