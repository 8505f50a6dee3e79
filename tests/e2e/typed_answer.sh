#!/bin/sh
# Typed answers from the keyboard: the memo has the keyboard from the start, Ctrl+Return
# answers without adding a line break, and OK is there from the start (an empty answer).
. "$(dirname "$0")/lib/common.sh"

mkdir -p "$WORK/src"
q() { printf '{"AnswerMode": "typed", "Text": "Река %s", "Answers": [{"Weight": 1, "Text": ["Волга"]}]}' "$1"; }
cat >"$WORK/src/test.json" <<JSON
{"Name": "Ввод", "ExtraFieldCaption": "Группа", "EffectSteps": 1, "SequentialOrder": true,
 "Questions": [$(q 3), $(q 1), $(q 2)]}
JSON
make_test "$WORK/src"

start_xvfb
start_player "$WORK/test.exe"
register 'Смирнов Семён' '6Е'
wait_next_question "" 15 || fail "no first question; shown: $(shown_windows)"
sig=$(question_sig "$WORK/settled.png")
sleep 0.2
type_text 'Волга'
xdotool key ctrl+Return
wait_next_question "$sig" 10 || { shot stuck-2; fail "Ctrl+Return did not answer; shown: $(shown_windows)"; }
sig=$(question_sig "$WORK/settled.png")
sleep 0.2
type_text 'Нева'
xdotool key ctrl+Return
wait_next_question "$sig" 10 || { shot stuck-3; fail "Ctrl+Return did not answer; shown: $(shown_windows)"; }
click_answers_ok "$WORK/settled.png"

if wait_visible '^Результат тестирования$' 10 >/dev/null; then
    read_test_log "$WORK/log.txt"
    answers=$(awk '/Ответ пользователя:$/ { getline; getline; print }' "$WORK/log.txt" | tr '\n' '|')
    [ "$answers" = "[Волга]|[Нева]|[]|" ] || fail "typed answers in the log: $answers
$(cat "$WORK/log.txt")"
    marks=$(logged_marks "$WORK/log.txt")
    [ "$(echo "$marks" | cut -d' ' -f1)" -gt 0 ] || fail "the right typed answer scored nothing: $marks"
    xdotool key Escape
    wait_player_exit 15 || fail "the player did not end"
else
    shot no_result
    fail "no result window; shown: $(shown_windows)"
fi
finish
