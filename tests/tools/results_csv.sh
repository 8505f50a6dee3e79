#!/bin/sh
# testmaker results as a user runs it: two days of a classroom's Results.txt into one table.
#   results_csv.sh TESTMAKER [LAUNCHER]
# LAUNCHER runs TESTMAKER when it is not a program of this system (scripts/wine-run).
set -eu
TESTMAKER=$1
LAUNCHER=${2:-}
case $TESTMAKER in /*) ;; *) TESTMAKER=$(pwd)/$TESTMAKER ;; esac
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh"

# A record as the player writes it: cp1251, CR LF, six lines.
record() { # test, person, caption, second field, time, mark
    printf 'Название теста: - %s\r\nФИО тестируемого - %s\r\n%s - %s\r\nВремя тестирования: - %s\r\nРезультирующая оценка: - %s\r\n\r\n' \
        "$@" | iconv -f UTF-8 -t CP1251
}
bom() { printf '\357\273\277'; }

mkdir monday tuesday
{
    record 'Физика' 'Иванов Иван' 'Группа' 'ИТ-21; вечер' '10 мин 21 сек' '345 баллов'
    record 'Физика, 9 класс' 'Петров "Пётр"' 'Группа' '' '45 сек' '1 балл'
    printf '\032\032'
} >monday/Results.txt
# The second run of the day was cut short while it was written.
{
    record 'Физика' '  Сидоров  ' 'Группа' '7 - Б' '60 сек' '-3 балла'
    record 'Физика' 'Кузнецов' 'Группа' '8' '2 мин 5 сек' '12 баллов' | head -c 70
} >tuesday/Results.txt

TM results monday/Results.txt tuesday/Results.txt -o table.csv >out.json 2>err.txt
{
    bom
    printf 'Тест;ФИО;Группа;Время, с;Оценка;Файл\r\n'
    printf 'Физика;Иванов Иван;"ИТ-21; вечер";621;345;monday/Results.txt\r\n'
    printf 'Физика, 9 класс;"Петров ""Пётр""";;45;1;monday/Results.txt\r\n'
    printf 'Физика;  Сидоров  ;7 - Б;60;-3;tuesday/Results.txt\r\n'
} >expected.csv
check "semicolons: the table" cmp table.csv expected.csv
check "semicolons: records" test "$(jq -r '.records' out.json)" = 3
check "semicolons: the cut record is reported" \
    test "$(jq -c '.warnings' out.json)" = '["tuesday/Results.txt:7: incomplete record, skipped"]'
check "semicolons: warning on stderr" \
    grep -qF 'testmaker: warning: tuesday/Results.txt:7: incomplete record, skipped' err.txt

TM results monday/Results.txt -o comma.csv --comma >/dev/null 2>&1
{
    bom
    printf 'Тест,ФИО,Группа,"Время, с",Оценка,Файл\r\n'
    printf 'Физика,Иванов Иван,ИТ-21; вечер,621,345,monday/Results.txt\r\n'
    printf '"Физика, 9 класс","Петров ""Пётр""",,45,1,monday/Results.txt\r\n'
} >expected-comma.csv
check "commas: the table" cmp comma.csv expected-comma.csv

# A caption holding the separator is split right only when it is named.
record 'Химия' 'Орлова' 'Класс - группа' '9А' '5 сек' '2 балла' >school.txt
TM results school.txt -o guessed.csv >/dev/null
TM results school.txt -o known.csv --caption 'Класс - группа' >/dev/null
check "caption: cut at its first separator" \
    test "$(tail -n 1 guessed.csv)" = "$(printf 'Химия;Орлова;группа - 9А;5;2;school.txt\r')"
check "caption: known" test "$(head -n 1 known.csv)" = "$(bom; printf 'Тест;ФИО;Класс - группа;Время, с;Оценка;Файл\r')"
check "caption: known, the value" test "$(tail -n 1 known.csv)" = "$(printf 'Химия;Орлова;9А;5;2;school.txt\r')"

# A caption cp1251 cannot hold could never match a record: an error naming the character.
set +e
TM results school.txt -o odd.csv --caption 'Класс ✓' >odd.json 2>odd.txt
rc=$?
set -e
check "caption: a character cp1251 lacks exits 1" test "$rc" = 1
check "caption: names it" grep -qF -- 'testmaker: error: --caption: character "✓" (U+2713) cannot be stored' odd.txt
check "caption: no table" test ! -e odd.csv

# A file that cannot be read stops everything: the old table stays as it was.
cp table.csv before.csv
set +e
TM results monday/Results.txt nosuch.txt -o table.csv >missing.json 2>missing.txt
rc=$?
set -e
check "missing file: exit 1" test "$rc" = 1
check "missing file: named" grep -qF 'testmaker: error: nosuch.txt: no such file' missing.txt
check "missing file: table untouched" cmp table.csv before.csv
check "missing file: nothing left behind" test "$(ls | grep -c '\.tmp$')" = 0

exit $failed
