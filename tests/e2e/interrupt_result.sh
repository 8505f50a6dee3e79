#!/bin/sh
# The result window and the results record: a run answered to the end, then a run broken
# off with Escape. Cancel in the confirmation keeps the run going; OK ends it and the result
# window says so. Each result adds its record to an existing Results.txt, byte for byte.
. "$(dirname "$0")/lib/common.sh"

mkdir -p "$WORK/src"
cat >"$WORK/src/test.json" <<'JSON'
{"Name": "Итоги четверти", "ExtraFieldCaption": "Класс", "EffectSteps": 1, "MaxScore": 2,
 "SequentialOrder": true, "KeepAnswerOrder": true,
 "Questions": [
   {"Text": "Вопрос Б", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
   {"Text": "Вопрос А", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}]}
JSON
make_test "$WORK/src"
# An earlier record is already there.
cp1251 'Название теста: - Другой\r\nФИО тестируемого - Прежний\r\nКласс - 1А\r\n' >"$WORK/Results.txt"
cp1251 'Время тестирования: - 1 мин 5 сек\r\nРезультирующая оценка: - 1 балл\r\n\r\n' >>"$WORK/Results.txt"
cp "$WORK/Results.txt" "$WORK/before.txt"

# Light pixels in a rectangle of the result window (x y relative to the window).
result_light() { # png wid x y w h
    eval "$(xdotool getwindowgeometry --shell "$2")"
    count_pixels "$1" $((X + $3)) $((Y + $4)) "$5" "$6" | cut -d' ' -f1
}
result_dark() { # png wid x y w h
    eval "$(xdotool getwindowgeometry --shell "$2")"
    count_pixels "$1" $((X + $3)) $((Y + $4)) "$5" "$6" | cut -d' ' -f2
}
# The bold values of the result window: test name, name, second field, time, mark.
NAME_AREA="111 53 200 14" FIO_AREA="228 83 180 14" OTHER_AREA="228 103 180 14"
TIME_AREA="275 135 130 14" MARK_AREA="275 155 130 14"
# Checks that a value area shows a text as wide as the expected one.
result_value() { # png wid area text
    eval "$(xdotool getwindowgeometry --shell "$2")"
    set -- "$1" "$2" $3 "$4"
    shown=$(shown_text_width "$1" $((X + $3)) $((Y + $4)) "$5" "$6")
    near "$shown" "$(text_width "$7" DejaVu-Sans-Bold)" ||
        fail "the result window does not show \"$7\" (text $shown px wide at $3,$4)"
}
# Under the logo, where the note about an interruption goes.
NOTE_AREA="12 116 86 60"

answer_first() { # png
    click_answer_line 1
    sleep 0.1
    click_answers_ok "$1"
}

start_xvfb
start_player "$WORK/test.exe"

# The first run: both questions answered right; Escape with Cancel in between.
register 'Кузнецова Анна' '7Г'
wait_next_question "" 15 || fail "no first question; shown: $(shown_windows)"
cp "$WORK/settled.png" "$WORK/q1.png"
answer_first "$WORK/q1.png"
wait_next_question "$(question_sig "$WORK/q1.png")" 10 || fail "no second question"
cp "$WORK/settled.png" "$WORK/q2.png"
xdotool key Escape
if wait_visible '^Внимание!$' 5 >/dev/null; then
    xdotool key Escape
    wait_gone '^Внимание!$' 5 || fail "Escape did not cancel the confirmation"
    sleep 0.5
    shot cancelled
    [ "$(question_sig "$WORK/cancelled.png")" = "$(question_sig "$WORK/q2.png")" ] ||
        fail "the question changed after Cancel"
    xdotool search --onlyvisible --name '^Результат тестирования$' >/dev/null 2>&1 && fail "Cancel ended the run"
else
    fail "Escape during a question asked nothing; shown: $(shown_windows)"
fi
answer_first "$WORK/q2.png"

if rw=$(wait_visible '^Результат тестирования$' 10); then
    sleep 0.3
    shot result
    eval "$(xdotool getwindowgeometry --shell "$rw")"
    [ $((X + WIDTH / 2 - 512)) -ge -3 ] && [ $((X + WIDTH / 2 - 512)) -le 3 ] &&
        [ $((Y + HEIGHT / 2 - 384)) -ge -3 ] && [ $((Y + HEIGHT / 2 - 384)) -le 3 ] ||
        fail "the result window is not centred: ${WIDTH}x$HEIGHT at $X,$Y"
    result_value "$WORK/result.png" "$rw" "$NAME_AREA" 'Итоги четверти'
    result_value "$WORK/result.png" "$rw" "$FIO_AREA" 'Кузнецова Анна'
    result_value "$WORK/result.png" "$rw" "$OTHER_AREA" '7Г'
    # shellcheck disable=SC2086
    [ "$(result_dark "$WORK/result.png" "$rw" $TIME_AREA)" -gt 20 ] || fail "no time in the result window"
    result_value "$WORK/result.png" "$rw" "$MARK_AREA" '2 балла'
    # shellcheck disable=SC2086
    [ "$(result_light "$WORK/result.png" "$rw" $NOTE_AREA)" -eq $((86 * 60)) ] ||
        fail "a note under the logo of a run that was not interrupted"
    xdotool key Return
else
    fail "no result window after the last answer; shown: $(shown_windows)"
fi

# The second run: broken off at the first question.
register 'Орлов Олег' '8Д'
wait_next_question "" 15 || fail "no question in the second run; shown: $(shown_windows)"
xdotool key Escape
wait_visible '^Внимание!$' 5 >/dev/null || fail "Escape during a question asked nothing"
xdotool key Return
if rw=$(wait_visible '^Результат тестирования$' 10); then
    sleep 0.3
    shot interrupted
    # shellcheck disable=SC2086
    [ "$(result_light "$WORK/interrupted.png" "$rw" $NOTE_AREA)" -lt $((86 * 60 - 40)) ] ||
        fail "no note about the interruption under the logo"
    result_value "$WORK/interrupted.png" "$rw" "$FIO_AREA" 'Орлов Олег'
    result_value "$WORK/interrupted.png" "$rw" "$MARK_AREA" '0 баллов'
    read_test_log "$WORK/log.txt"
    [ "$(grep -c 'Тест прерван пользователем$' "$WORK/log.txt")" -eq 1 ] ||
        fail "the log does not tell of one interruption: $(cat "$WORK/log.txt")"
    xdotool key Escape
else
    fail "no result window after the interruption; shown: $(shown_windows)"
fi
wait_player_exit 15 || fail "Escape in the result window did not end the program"

# The file: the old bytes untouched, then the two records; times vary.
time_line=$(cp1251 'Время тестирования: - ')
sec=$(cp1251 'сек')
LC_ALL=C sed "s/^\\(${time_line}\\)[0-9][0-9]* ${sec}\\r\$/\\1T\\r/" "$WORK/Results.txt" >"$WORK/actual.txt"
{
    cat "$WORK/before.txt"
    cp1251 'Название теста: - Итоги четверти\r\nФИО тестируемого - Кузнецова Анна\r\nКласс - 7Г\r\n'
    cp1251 'Время тестирования: - T\r\nРезультирующая оценка: - 2 балла\r\n\r\n'
    cp1251 'Название теста: - Итоги четверти\r\nФИО тестируемого - Орлов Олег\r\nКласс - 8Д\r\n'
    cp1251 'Время тестирования: - T\r\nРезультирующая оценка: - 0 баллов\r\n\r\n'
} >"$WORK/expected.txt"
cmp -s "$WORK/actual.txt" "$WORK/expected.txt" ||
    fail "Results.txt is not the old bytes and the two records:
$(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt" | sed 's/\r$/<CR>/')"
finish
