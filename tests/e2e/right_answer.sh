#!/bin/sh
# The right-answer window kept until closed (a negative setting): a right typed answer
# (a key word inside the typed text) gets the compact verdict that stays for seconds and goes
# with Return; a wrong typed answer lists key words and goes with Escape; a wrong single
# choice shows the right answer and goes with the "Закрыть" button. The keys that close it
# do not reach the next question, and the log and marks follow the answers.
. "$(dirname "$0")/lib/common.sh"

# Asked in this order: the two typed questions, then the single choice (priority 2).
mkdir -p "$WORK/src"
cat >"$WORK/src/test.json" <<'JSON'
{"Name": "Проверка ответов", "ExtraFieldCaption": "Класс", "EffectSteps": 1, "MaxScore": 5,
 "SequentialOrder": true, "KeepAnswerOrder": true, "ShowRightAnswer": -1,
 "Questions": [
   {"AnswerMode": "single", "Priority": 2, "Text": "Выберите",
    "Answers": [{"Text": "Нет"}, {"Weight": 1, "Text": "Да"}]},
   {"AnswerMode": "typed", "Text": "Кто мяукает?", "Answers": [{"Weight": 1, "Text": ["кошка", "кот"]}]},
   {"AnswerMode": "typed", "Text": "Кто лает?", "Answers": [{"Weight": 1, "Text": ["собака", "пёс"]}]}]}
JSON
make_test "$WORK/src"

HINT='Для продолжения нажмите "Закрыть"'

# Checks the right-answer window that came for an answer: the verdict and the hint to close
# it; RA_WID and RA_HEIGHT are the window.
right_answer_shown() { # name status description
    RA_WID=$(wait_visible "$RIGHT_ANSWER_TITLE" 3) ||
        { RA_HEIGHT=0; fail "$1: no right-answer window; shown: $(shown_windows)"; return 1; }
    sleep 0.5
    shot "ra-$1"
    eval "$(xdotool getwindowgeometry --shell "$RA_WID")"
    RA_HEIGHT=$HEIGHT
    check_verdict "$WORK/ra-$1.png" "$RA_WID" "$2" "$3"
    w=$(right_answer_hint_width "$WORK/ra-$1.png" "$RA_WID")
    near "$w" "$(text_width "$HINT")" || fail "$1: the hint to close the window is not there (grey text $w px wide)"
}

start_xvfb
start_player "$WORK/test.exe"
register 'Соколов Павел' '4В'

# A right typed answer: stays, then Return.
wait_next_question "" 15 || fail "no first question; shown: $(shown_windows)"
sig=$(question_sig "$WORK/settled.png")
sleep 0.2
type_text 'Это кот'
t0=$(clock_ms)
xdotool key ctrl+Return
right_answer_shown typed-right 'Правильно!' 'Вы верно ответили на вопрос!'
COMPACT=$RA_HEIGHT
[ "$COMPACT" -gt 0 ] && [ "$COMPACT" -le 120 ] || fail "the window for a right answer is $COMPACT high"
sleep_until_ms $((t0 + 3000))
xdotool search --onlyvisible --name "$RIGHT_ANSWER_TITLE" >/dev/null 2>&1 ||
    fail "the right-answer window kept until closed went away by itself within 3 s"
xdotool key Return
wait_gone "$RIGHT_ANSWER_TITLE" 2 || fail "Return did not close the right-answer window"

# A wrong typed answer: key words, then Escape.
wait_next_question "$sig" 10 || { shot stuck-2; fail "no second question; shown: $(shown_windows)"; }
sig=$(question_sig "$WORK/settled.png")
sleep 0.2
type_text 'кот'
xdotool key ctrl+Return
right_answer_shown typed-wrong 'Неверно!' 'Ключевые слова правильного ответа приведены ниже'
[ "$RA_HEIGHT" -gt $((COMPACT + 20)) ] || fail "no key words under the verdict: the window is $RA_HEIGHT high"
if [ -n "${RA_WID:-}" ]; then
    # Both variants are listed, so the text there is wider than the longer one alone.
    eval "$(xdotool getwindowgeometry --shell "$RA_WID")"
    w=$(shown_text_width "$WORK/ra-typed-wrong.png" $((X + 25)) $((Y + 66)) 375 $((HEIGHT - 112)))
    [ "$w" -gt "$(text_width 'собака')" ] || fail "the key words are not listed (text $w px wide)"
fi
sleep 1
xdotool search --onlyvisible --name "$RIGHT_ANSWER_TITLE" >/dev/null 2>&1 ||
    fail "the right-answer window of a wrong typed answer went away by itself"
xdotool key Escape
wait_gone "$RIGHT_ANSWER_TITLE" 2 || fail "Escape did not close the right-answer window"
# Escape went to the verdict only: no confirmation to break the run off.
sleep 0.5
xdotool search --onlyvisible --name '^Внимание!$' >/dev/null 2>&1 &&
    { fail "the Escape that closed the verdict also asked to break the run off"; xdotool key Escape; }

# A wrong single choice: the right answer alone is listed; the button closes it.
wait_next_question "$sig" 10 || { shot stuck-3; fail "no third question; shown: $(shown_windows)"; }
cp "$WORK/settled.png" "$WORK/single.png"
click_answer_line 1
sleep 0.2
click_answers_ok "$WORK/single.png"
right_answer_shown single-wrong 'Неверно!' 'Ниже приведен правильный ответ'
[ $((RA_HEIGHT - COMPACT)) -ge 57 ] && [ $((RA_HEIGHT - COMPACT)) -le 63 ] ||
    fail "not one right answer listed: the window is $RA_HEIGHT high (a bare verdict $COMPACT)"
if [ -n "${RA_WID:-}" ]; then
    eval "$(xdotool getwindowgeometry --shell "$RA_WID")"
    xdotool mousemove --sync $((X + 354)) $((Y + HEIGHT - 24)) click 1
    wait_gone "$RIGHT_ANSWER_TITLE" 2 || fail "the \"Закрыть\" button did not close the right-answer window"
fi

if wait_visible '^Результат тестирования$' 10 >/dev/null; then
    read_test_log "$WORK/log.txt"
    answers=$(logged_answers "$WORK/log.txt" | tr '\n' ' ')
    [ "$answers" = "[Это кот]| [кот]|  - [Нет]| " ] || fail "the answers in the log: $answers
$(cat "$WORK/log.txt")"
    marks=$(logged_marks "$WORK/log.txt")
    [ "$marks" = "5 2 1 " ] || fail "the marks in the log: $marks (not 5 2 1)"
    xdotool key Escape
    wait_player_exit 15 || fail "the player did not end"
    iconv -f CP1251 -t UTF-8 "$WORK/Results.txt" | grep -q '^Результирующая оценка: - 1 балл' ||
        fail "the record's mark is not 1: $(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt")"
else
    shot no_result
    fail "no result window after the last answer; shown: $(shown_windows)"
fi
finish
