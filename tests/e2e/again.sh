#!/bin/sh
# "Тестировать снова": the registration comes back empty, the next sequential run goes on
# after the last question of the one before, and the log keeps both runs.
. "$(dirname "$0")/lib/common.sh"

# Two questions a run; a fresh sequential test starts after the first of the bank.
mkdir -p "$WORK/src"
q() { printf '{"Text": "Вопрос %s", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}' "$1"; }
cat >"$WORK/src/test.json" <<JSON
{"Name": "Снова", "ExtraFieldCaption": "Группа", "EffectSteps": 1, "MaxScore": 5,
 "SequentialOrder": true, "KeepAnswerOrder": true, "QuestionsPerTest": 2,
 "Questions": [$(q 5), $(q 1), $(q 2), $(q 3), $(q 4)]}
JSON
make_test "$WORK/src"

# Answers both questions of a run with the first line ("Да").
answer_run() { # run
    sig=""
    for n in 1 2; do
        wait_next_question "$sig" 15 || { shot "stuck-$1-$n"; fail "run $1: no question $n; shown: $(shown_windows)"; return 1; }
        sig=$(question_sig "$WORK/settled.png")
        cp "$WORK/settled.png" "$WORK/q.png"
        click_answer_line 1
        sleep 0.1
        click_answers_ok "$WORK/q.png"
    done
    wait_visible '^Результат тестирования$' 10 >/dev/null ||
        { shot "no-result-$1"; fail "run $1: no result window; shown: $(shown_windows)"; return 1; }
}

start_xvfb
start_player "$WORK/test.exe"
register 'Первый Ученик' '5А'
answer_run 1
sleep 0.2
xdotool key Return
wait_gone '^Результат тестирования$' 5 || fail "Return did not start again"
# Typed over whatever the fields hold: the record shows if the old text was still there.
register 'Второй Ученик' '5Б'
answer_run 2

read_test_log "$WORK/log.txt" button
[ "$(grep -c 'Начало тестирования$' "$WORK/log.txt")" -eq 2 ] ||
    fail "the log does not hold two runs: $(cat "$WORK/log.txt")"
order=$(sed -n 's/^.* Начало тестирования$/START/p; s/^.* Задан вопрос "\(.*\)"$/\1/p' "$WORK/log.txt" | tr '\n' ' ')
[ "$order" = "START Вопрос 1 Вопрос 2 START Вопрос 3 Вопрос 4 " ] ||
    fail "runs and questions in the log: $order"
xdotool key Escape
wait_player_exit 15 || fail "the player did not end"

time_line=$(cp1251 'Время тестирования: - ')
sec=$(cp1251 'сек')
LC_ALL=C sed "s/^\\(${time_line}\\)[0-9][0-9]* ${sec}\\r\$/\\1T\\r/" "$WORK/Results.txt" >"$WORK/actual.txt"
{
    cp1251 'Название теста: - Снова\r\nФИО тестируемого - Первый Ученик\r\nГруппа - 5А\r\n'
    cp1251 'Время тестирования: - T\r\nРезультирующая оценка: - 5 баллов\r\n\r\n'
    cp1251 'Название теста: - Снова\r\nФИО тестируемого - Второй Ученик\r\nГруппа - 5Б\r\n'
    cp1251 'Время тестирования: - T\r\nРезультирующая оценка: - 5 баллов\r\n\r\n'
} >"$WORK/expected.txt"
cmp -s "$WORK/actual.txt" "$WORK/expected.txt" ||
    fail "Results.txt is not the two records:
$(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt" | sed 's/\r$/<CR>/')"
finish
