#!/bin/sh
# Time limits running out with nobody answering: a limit per question moves on by itself
# after each question and ends the run; a limit for the whole test ends the run when it runs
# out; a question without a limit waits (no own limit, or typed input exempted).
. "$(dirname "$0")/lib/common.sh"

questions='
    {"Text": "Вопрос В", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
    {"Text": "Вопрос А", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
    {"Text": "Вопрос Б", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}'
# A fresh sequential test starts after the first question of the bank: asked А, Б, В.
mkdir -p "$WORK/each" "$WORK/whole" "$WORK/whole-exe"
cat >"$WORK/each/test.json" <<JSON
{"Name": "Время", "ExtraFieldCaption": "Группа", "EffectSteps": 1, "SequentialOrder": true,
 "LimitSeconds": 2, "LimitWholeTest": false, "Questions": [$questions]}
JSON
cat >"$WORK/whole/test.json" <<JSON
{"Name": "Время", "ExtraFieldCaption": "Группа", "EffectSteps": 1, "SequentialOrder": true,
 "LimitSeconds": 3, "LimitWholeTest": true, "Questions": [$questions]}
JSON
# The first question asked has a limit, the second has none.
mkdir -p "$WORK/own" "$WORK/own-exe" "$WORK/input" "$WORK/input-exe"
cat >"$WORK/own/test.json" <<JSON
{"Name": "Время", "ExtraFieldCaption": "Группа", "EffectSteps": 1, "SequentialOrder": true,
 "KeepAnswerOrder": true, "LimitSeconds": -1, "QuestionsPerTest": 2, "Questions": [
    {"Text": "Вопрос В", "TimeLimit": 2, "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
    {"Text": "Вопрос А", "TimeLimit": 2, "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
    {"Text": "Вопрос Б", "TimeLimit": 0, "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}]}
JSON
cat >"$WORK/input/test.json" <<JSON
{"Name": "Время", "ExtraFieldCaption": "Группа", "EffectSteps": 1, "SequentialOrder": true,
 "LimitSeconds": 2, "NoLimitForInput": true, "QuestionsPerTest": 2, "Questions": [
    {"Text": "Вопрос В", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
    {"Text": "Вопрос А", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
    {"AnswerMode": "typed", "Text": "Вопрос Б", "Answers": [{"Weight": 1, "Text": ["Да"]}]}]}
JSON
make_test "$WORK/each" "$WORK/each.exe"
make_test "$WORK/own" "$WORK/own-exe/own.exe"
make_test "$WORK/input" "$WORK/input-exe/input.exe"
make_test "$WORK/whole" "$WORK/whole-exe/whole.exe"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Runs a test to its result window without touching the questions; RUN_MS gets the
# milliseconds from the registration's Return to the result window. The countdowns tick
# with a free-running one-second timer, so a limit of N s lasts between N-1 and N s.
run_untouched() { # exe
    RUN_MS=""
    start_player "$1"
    register 'Петров Пётр' '10Б'
    t0=$(now_ms)
    wait_visible '^Проведение тестирования$' 10 >/dev/null || { fail "no main window"; return 1; }
    wait_visible '^Результат тестирования$' 30 >/dev/null ||
        { shot "stuck-$(basename "$1" .exe)"; fail "no result window by itself; shown: $(shown_windows)"; return 1; }
    RUN_MS=$(($(now_ms) - t0))
}

start_xvfb

# Three questions of 2 s each.
run_untouched "$WORK/each.exe" || true
ms=$RUN_MS
if [ -n "$ms" ]; then
    [ "$ms" -ge 3100 ] || fail "the per-question limits ended the run after $ms ms, before 3 x (2 - 1) s"
    [ "$ms" -le 12000 ] || fail "the per-question limits took $ms ms to end the run"
    read_test_log "$WORK/each.log"
    [ "$(asked_questions "$WORK/each.log" | tr '\n' ' ')" = "Вопрос А Вопрос Б Вопрос В " ] ||
        fail "asked: $(asked_questions "$WORK/each.log" | tr '\n' ' ')"
    [ "$(grep -c 'Время, отпущенное на вопрос, истекло$' "$WORK/each.log")" -eq 3 ] ||
        fail "not three question time-outs in the log: $(cat "$WORK/each.log")"
    grep -q 'на тестирование, истекло\|пропущен\|прерван' "$WORK/each.log" &&
        fail "the log tells of something else than question time-outs: $(cat "$WORK/each.log")"
    xdotool key Escape
    wait_player_exit 15 || fail "the player did not end"
    secs=$(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt" | sed -n 's/^Время тестирования: - \([0-9]*\) сек\r$/\1/p')
    [ -n "$secs" ] && [ "$secs" -ge 3 ] && [ "$secs" -le 12 ] ||
        fail "the recorded test time is not about 6 s: '$secs'"
fi

# 3 s for the whole test of three questions.
run_untouched "$WORK/whole-exe/whole.exe" || true
ms=$RUN_MS
if [ -n "$ms" ]; then
    [ "$ms" -ge 2000 ] || fail "the whole-test limit ended the run after $ms ms, before 3 - 1 s"
    [ "$ms" -le 6000 ] || fail "the whole-test limit took $ms ms to end the run"
    read_test_log "$WORK/whole.log"
    [ "$(grep -c 'Время, отпущенное на тестирование, истекло$' "$WORK/whole.log")" -eq 1 ] ||
        fail "no single whole-test time-out in the log: $(cat "$WORK/whole.log")"
    [ "$(asked_questions "$WORK/whole.log")" = "Вопрос А" ] ||
        fail "asked after the limit ran out: $(asked_questions "$WORK/whole.log" | tr '\n' ' ')"
    grep -q 'на вопрос, истекло' "$WORK/whole.log" && fail "a question time-out with a whole-test limit"
    xdotool key Escape
    wait_player_exit 15 || fail "the player did not end"
fi
# The first question times out by itself, the second stays until answered.
limited_then_unlimited() { # exe name
    start_player "$1"
    register 'Петров Пётр' '10Б'
    wait_next_question "" 15 || { fail "$2: no first question; shown: $(shown_windows)"; return 1; }
    sig=$(question_sig "$WORK/settled.png")
    wait_next_question "$sig" 6 || { shot "$2-stuck"; fail "$2: the limited question did not time out"; return 1; }
    cp "$WORK/settled.png" "$WORK/second.png"
    sleep 3
    shot "$2-waiting"
    [ "$(question_sig "$WORK/$2-waiting.png")" = "$(question_sig "$WORK/second.png")" ] ||
        fail "$2: the question without a limit went away by itself"
    xdotool search --onlyvisible --name '^Результат тестирования$' >/dev/null 2>&1 &&
        fail "$2: the run ended during a question without a limit"
    if [ "$2" = input ]; then
        type_text 'Да'
        xdotool key ctrl+Return
    else
        click_answer_line 1
        sleep 0.1
        click_answers_ok "$WORK/second.png"
    fi
    wait_visible '^Результат тестирования$' 10 >/dev/null || { fail "$2: no result window"; return 1; }
    read_test_log "$WORK/$2.log"
    [ "$(asked_questions "$WORK/$2.log" | tr '\n' ' ')" = "Вопрос А Вопрос Б " ] ||
        fail "$2: asked $(asked_questions "$WORK/$2.log" | tr '\n' ' ')"
    [ "$(grep -c 'Время, отпущенное на вопрос, истекло$' "$WORK/$2.log")" -eq 1 ] ||
        fail "$2: not one question time-out: $(cat "$WORK/$2.log")"
    awk '/Задан вопрос "Вопрос Б"/ { b = 1 } b' "$WORK/$2.log" | grep -q 'истекло' &&
        fail "$2: the question without a limit timed out"
    xdotool key Escape
    wait_player_exit 15 || fail "the player did not end"
}
limited_then_unlimited "$WORK/own-exe/own.exe" own
limited_then_unlimited "$WORK/input-exe/input.exe" input
finish
