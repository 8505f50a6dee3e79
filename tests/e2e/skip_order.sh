#!/bin/sh
# A sequential run over five questions where the second one asked is skipped: it comes back
# last, and then it cannot be skipped again (the button is off and a click on it does
# nothing); it is answered and the log tells exactly that.
. "$(dirname "$0")/lib/common.sh"

# A fresh sequential test starts after the first question of the bank: asked 1, 2, ... 5.
mkdir -p "$WORK/src"
q() { printf '{"Text": "Вопрос %s", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}' "$1"; }
cat >"$WORK/src/test.json" <<JSON
{"Name": "Порядок", "ExtraFieldCaption": "Группа", "EffectSteps": 1, "MaxScore": 5,
 "SequentialOrder": true, "KeepAnswerOrder": true, "SkipsAllowed": -1,
 "Questions": [$(q 5), $(q 1), $(q 2), $(q 3), $(q 4)]}
JSON
make_test "$WORK/src"

# Dark (black text) pixels on the skip button: none when it is greyed out.
skip_text_pixels() { count_pixels "$1" 862 699 132 22 | cut -d' ' -f2; }

start_xvfb
start_player "$WORK/test.exe"
register 'Сидоров Сидор' '11В'
wait_visible '^Проведение тестирования$' 10 >/dev/null || fail "no main window"

sig=""
for n in 1 2 3 4 5; do
    wait_next_question "$sig" 10 || { shot "stuck-$n"; fail "question $n did not come; shown: $(shown_windows)"; break; }
    cp "$WORK/settled.png" "$WORK/q$n.png"
    sig=$(question_sig "$WORK/q$n.png")
    [ "$(skip_text_pixels "$WORK/q$n.png")" -gt 20 ] || fail "the skip button is off on question $n of 5"
    if [ "$n" = 2 ]; then
        xdotool mousemove --sync 928 710 click 1
    else
        click_answer_line 1
        sleep 0.1
        click_answers_ok "$WORK/q$n.png"
    fi
done

# The skipped question again, the last one of the run.
if wait_next_question "$sig" 10; then
    cp "$WORK/settled.png" "$WORK/again.png"
    [ "$(question_sig "$WORK/again.png")" = "$(question_sig "$WORK/q2.png")" ] ||
        { shot again; fail "the question shown after the fifth is not the skipped one"; }
    [ "$(skip_text_pixels "$WORK/again.png")" -le 2 ] ||
        { shot again; fail "the skip button is not greyed out on the last question"; }
    xdotool mousemove --sync 928 710 click 1
    sleep 1
    shot after_skip_click
    [ "$(question_sig "$WORK/after_skip_click.png")" = "$(question_sig "$WORK/again.png")" ] ||
        fail "a click on the greyed-out skip button changed the question"
    [ "$(answers_bottom "$WORK/after_skip_click.png")" -gt 260 ] || fail "the answers went away after the click"
    xdotool search --onlyvisible --name '^Результат тестирования$' >/dev/null 2>&1 &&
        fail "a click on the greyed-out skip button ended the run"
    click_answer_line 1
    sleep 0.1
    click_answers_ok "$WORK/again.png"
else
    shot no_return
    fail "the skipped question did not come back; shown: $(shown_windows)"
fi

if wait_visible '^Результат тестирования$' 10 >/dev/null; then
    read_test_log "$WORK/log.txt"
    asked=$(asked_questions "$WORK/log.txt" | tr '\n' ' ')
    [ "$asked" = "Вопрос 1 Вопрос 2 Вопрос 3 Вопрос 4 Вопрос 5 Вопрос 2 " ] || fail "asked in the order: $asked"
    [ "$(grep -c 'Вопрос пропущен пользователем$' "$WORK/log.txt")" -eq 1 ] ||
        fail "not one skip in the log: $(cat "$WORK/log.txt")"
    # What follows the second asking of the skipped question.
    last=$(awk '/Задан вопрос "Вопрос 2"/ { n++ } n == 2' "$WORK/log.txt")
    printf '%s\n' "$last" | grep -q 'Ответ пользователя:$' || fail "the skipped question was not answered: $last"
    printf '%s\n' "$last" | grep -qx ' - \[Да\]' || fail "not the chosen answer in the log: $last"
    printf '%s\n' "$last" | grep -q 'пропущен' && fail "the skipped question was skipped again: $last"
    xdotool key Escape
    wait_player_exit 15 || fail "the player did not end"
    iconv -f CP1251 -t UTF-8 "$WORK/Results.txt" | grep -q '^Результирующая оценка: - 5 баллов' ||
        fail "five right answers did not make 5: $(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt")"
else
    shot no_result
    fail "no result window after the last answer; shown: $(shown_windows)"
fi
finish
