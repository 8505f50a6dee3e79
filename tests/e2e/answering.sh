#!/bin/sh
# Answering with the mouse, one run over a single-choice, a multiple-choice and an ordering
# question: the hover and selection colours, deselecting a multiple choice (OK goes off
# again and does nothing), a drag that reorders, the answers and marks in the log, the
# final mark, and the right-answer window after each question, closing itself after 2 s.
. "$(dirname "$0")/lib/common.sh"

# A fresh sequential test starts at the second question of the bank: asked single, multiple,
# ordering. Answer texts of clearly different widths tell the rows apart on screen.
mkdir -p "$WORK/src"
cat >"$WORK/src/test.json" <<'JSON'
{"Name": "Ответы мышью", "ExtraFieldCaption": "Класс", "EffectSteps": 1, "MaxScore": 5,
 "SequentialOrder": true, "KeepAnswerOrder": true, "ShowRightAnswer": 2,
 "Questions": [
   {"AnswerMode": "ordering", "Priority": 1, "Text": "Упорядочьте",
    "Answers": [{"Weight": 1, "Text": "Ось"}, {"Weight": 2, "Text": "Бета-частица"},
                {"Weight": 3, "Text": "Гамма-излучение далёкой звезды"}]},
   {"AnswerMode": "single", "Priority": 1, "Text": "Выберите одно",
    "Answers": [{"Text": "Нет"}, {"Weight": 1, "Text": "Да"}, {"Text": "Может быть"}]},
   {"AnswerMode": "multiple", "Priority": 2, "Text": "Выберите несколько",
    "Answers": [{"Weight": 1, "Text": "Раз"}, {"Weight": 1, "Text": "Два с половиной"},
                {"Weight": -1, "Text": "Три"}]}]}
JSON
make_test "$WORK/src"

# Answer n of the list: a pixel of its frame (left edge) and of its fill.
frame_of() { pixel_class "$1" 562 $((283 + ($2 - 1) * 50)); }
fill_of() { pixel_class "$1" 700 $((270 + ($2 - 1) * 50)); }
# The colours of answer n must be these (frame fill).
expect_colours() { # png n frame fill what
    got="$(frame_of "$1" "$2") $(fill_of "$1" "$2")"
    [ "$got" = "$3 $4" ] || { shot "colours-$(basename "$1" .png)"; fail "$5: answer $2 is $got, not $3 $4"; }
}
# Dark pixels on the OK button: none when it is greyed out.
ok_dark() { # png
    b=$(answers_bottom "$1")
    count_pixels "$1" 935 $((b - 40)) 64 24 | cut -d' ' -f2
}
# Width of the text of answer n in the answer list.
row_width() { shown_text_width "$1" 564 $((265 + ($2 - 1) * 50)) 430 36; }
# Width of the text of the n-th listed answer in the right-answer window.
ra_row_width() { # png wid n
    eval "$(xdotool getwindowgeometry --shell "$2")"
    shown_text_width "$1" $((X + 32)) $((Y + 76 + ($3 - 1) * 50)) 360 36
}

# Follows the right-answer window after an answer given at the moment $1 (ms): there at
# +0.5 s with no countdown yet, there at +1.5 s counting "1 сек.", gone by +3.5 s.
# RA_PNG/RA_WID/RA_HEIGHT are the window as seen at +0.5 s.
follow_right_answer() { # t0 name status description
    RA_WID=$(wait_visible "$RIGHT_ANSWER_TITLE" 3) ||
        { fail "$2: no right-answer window; shown: $(shown_windows)"; return 1; }
    sleep_until_ms $(($1 + 500))
    shot "ra-$2"
    RA_PNG="$WORK/ra-$2.png"
    xdotool search --onlyvisible --name "$RIGHT_ANSWER_TITLE" >/dev/null 2>&1 ||
        fail "$2: the right-answer window was gone at +0.5 s"
    eval "$(xdotool getwindowgeometry --shell "$RA_WID")"
    RA_HEIGHT=$HEIGHT
    [ "$WIDTH" -eq 410 ] || fail "$2: the right-answer window is $WIDTH wide, not 404 + frame"
    [ $((X + WIDTH / 2 - 512)) -ge -3 ] && [ $((X + WIDTH / 2 - 512)) -le 3 ] &&
        [ $((Y + HEIGHT / 2 - 384)) -ge -3 ] && [ $((Y + HEIGHT / 2 - 384)) -le 3 ] ||
        fail "$2: the right-answer window is not centred: ${WIDTH}x$HEIGHT at $X,$Y"
    check_verdict "$RA_PNG" "$RA_WID" "$3" "$4"
    [ "$(right_answer_hint_width "$RA_PNG" "$RA_WID")" -eq 0 ] ||
        fail "$2: a countdown text during the first second"
    sleep_until_ms $(($1 + 1500))
    shot "ra-$2-later"
    if xdotool search --onlyvisible --name "$RIGHT_ANSWER_TITLE" >/dev/null 2>&1; then
        w=$(right_answer_hint_width "$WORK/ra-$2-later.png" "$RA_WID")
        near "$w" "$(text_width 'Автоматическое закрытие через 1 сек.')" ||
            fail "$2: at +1.5 s the countdown does not read \"... через 1 сек.\" (grey text $w px wide)"
    else
        fail "$2: the right-answer window of 2 s was gone at +1.5 s"
    fi
    left=$(($1 + 3500 - $(clock_ms)))
    wait_gone "$RIGHT_ANSWER_TITLE" $(((left + 999) / 1000)) && [ "$(clock_ms)" -le $(($1 + 3600)) ] ||
        fail "$2: the right-answer window was still there at +3.5 s"
}

start_xvfb
start_player "$WORK/test.exe"
register 'Иванова Мария' '9Б'

# The single choice: hover, select, move the selection to the right answer.
wait_next_question "" 15 || fail "no first question; shown: $(shown_windows)"
cp "$WORK/settled.png" "$WORK/single.png"
sig=$(question_sig "$WORK/single.png")
expect_colours "$WORK/single.png" 1 black grey "single choice, untouched"
[ "$(ok_dark "$WORK/single.png")" -eq 0 ] || fail "OK is on before a single choice is made"
xdotool mousemove --sync 700 284
sleep 0.3
shot single-hover
expect_colours "$WORK/single-hover.png" 1 red lightred "single choice, hovered"
expect_colours "$WORK/single-hover.png" 2 black grey "single choice, another one hovered"
xdotool click 1
xdotool mousemove --sync 700 334
sleep 0.3
shot single-first
expect_colours "$WORK/single-first.png" 1 black red "single choice, selected"
expect_colours "$WORK/single-first.png" 2 red lightred "single choice, hovered beside the selection"
[ "$(ok_dark "$WORK/single-first.png")" -gt 20 ] || fail "OK is still off after a single choice"
xdotool click 1
sleep 0.3
shot single-second
expect_colours "$WORK/single-second.png" 2 black red "single choice, the other one selected"
expect_colours "$WORK/single-second.png" 1 black grey "single choice, the earlier selection"
t0=$(clock_ms)
click_answers_ok "$WORK/single.png"
follow_right_answer "$t0" single 'Правильно!' 'Вы верно ответили на вопрос!'
COMPACT=${RA_HEIGHT:-0}
# A right answer shows the band alone.
[ "$COMPACT" -gt 0 ] && [ "$COMPACT" -le 120 ] || fail "the window for a right answer is $COMPACT high"

# The multiple choice: select, deselect (OK off, and a click on it does nothing), then the
# first answer only.
wait_next_question "$sig" 10 || { shot stuck-multiple; fail "no second question; shown: $(shown_windows)"; }
cp "$WORK/settled.png" "$WORK/multiple.png"
sig=$(question_sig "$WORK/multiple.png")
for n in 1 2 3; do
    [ "$(row_width "$WORK/multiple.png" "$n")" -gt 0 ] || fail "multiple choice: answer $n is not shown"
done
[ "$(ok_dark "$WORK/multiple.png")" -eq 0 ] || fail "OK is on before a multiple choice is made"
xdotool mousemove --sync 700 284
sleep 0.3
shot multiple-hover
expect_colours "$WORK/multiple-hover.png" 1 blue lightblue "multiple choice, hovered"
xdotool click 1
sleep 0.3
shot multiple-on
expect_colours "$WORK/multiple-on.png" 1 black blue "multiple choice, selected"
[ "$(ok_dark "$WORK/multiple-on.png")" -gt 20 ] || fail "OK is still off after a multiple choice"
xdotool click 1
sleep 0.3
shot multiple-off
[ "$(fill_of "$WORK/multiple-off.png" 1)" != blue ] || fail "a click on a selected multiple choice did not take it back"
[ "$(ok_dark "$WORK/multiple-off.png")" -eq 0 ] || fail "OK stays on with every choice taken back"
click_answers_ok "$WORK/multiple.png"
sleep 1
shot multiple-ok-off
[ "$(question_sig "$WORK/multiple-ok-off.png")" = "$sig" ] ||
    fail "a click on OK with nothing chosen left the question"
xdotool search --onlyvisible --name "$RIGHT_ANSWER_TITLE" >/dev/null 2>&1 &&
    fail "a click on OK with nothing chosen answered the question"
xdotool mousemove --sync 700 284 click 1
xdotool mousemove --sync 700 334
sleep 0.3
shot multiple-again
expect_colours "$WORK/multiple-again.png" 1 black blue "multiple choice, selected again"
expect_colours "$WORK/multiple-again.png" 2 blue lightblue "multiple choice, hovered beside the selection"
t0=$(clock_ms)
click_answers_ok "$WORK/multiple.png"
follow_right_answer "$t0" multiple 'Ответ не до конца верный!' 'Ниже перечислены все правильные варианты'
# Both right answers are listed, in their order, and the wrong one is not: two rows.
[ $((${RA_HEIGHT:-0} - COMPACT)) -ge 107 ] && [ $((${RA_HEIGHT:-0} - COMPACT)) -le 113 ] ||
    fail "the partly right verdict is $RA_HEIGHT high: not two listed answers under a $COMPACT high band"
if [ -n "${RA_PNG:-}" ]; then
    w1=$(ra_row_width "$RA_PNG" "$RA_WID" 1)
    w2=$(ra_row_width "$RA_PNG" "$RA_WID" 2)
    [ "$w1" -gt 10 ] && [ "$w2" -gt $((w1 * 2)) ] ||
        fail "the right answers listed are not \"Раз\", \"Два с половиной\" (rows $w1, $w2 px wide)"
fi

# The ordering: drag the first answer onto the third.
wait_next_question "$sig" 10 || { shot stuck-ordering; fail "no third question; shown: $(shown_windows)"; }
cp "$WORK/settled.png" "$WORK/ordering.png"
a=$(row_width "$WORK/ordering.png" 1)
b=$(row_width "$WORK/ordering.png" 2)
c=$(row_width "$WORK/ordering.png" 3)
[ "$a" -lt "$b" ] && [ "$b" -lt "$c" ] || fail "the ordering is not shown in the stored order (rows $a, $b, $c px wide)"
xdotool mousemove --sync 700 290
sleep 0.3
shot ordering-hover
expect_colours "$WORK/ordering-hover.png" 1 yellow lightyellow "ordering, hovered"
xdotool mousedown 1
for y in 300 320 340 360 375; do xdotool mousemove --sync 700 $y; done
sleep 0.2
shot ordering-drag
expect_colours "$WORK/ordering-drag.png" 1 black yellow "ordering, dragged"
xdotool mousemove --sync 700 384
xdotool mouseup 1
sleep 0.4
shot ordering-dropped
got="$(row_width "$WORK/ordering-dropped.png" 1) $(row_width "$WORK/ordering-dropped.png" 2) $(row_width "$WORK/ordering-dropped.png" 3)"
near "$(echo "$got" | cut -d' ' -f1)" "$b" && near "$(echo "$got" | cut -d' ' -f2)" "$c" &&
    near "$(echo "$got" | cut -d' ' -f3)" "$a" ||
    fail "dragging the first answer onto the third did not give the order 2 3 1 (rows $got px wide; were $a $b $c)"
t0=$(clock_ms)
click_answers_ok "$WORK/ordering.png"
follow_right_answer "$t0" ordering 'Неверно!' 'Правильный порядок следования приведен ниже'
[ $((${RA_HEIGHT:-0} - COMPACT)) -ge 157 ] && [ $((${RA_HEIGHT:-0} - COMPACT)) -le 163 ] ||
    fail "the wrong ordering verdict is $RA_HEIGHT high: not three listed answers under a $COMPACT high band"
if [ -n "${RA_PNG:-}" ]; then
    w1=$(ra_row_width "$RA_PNG" "$RA_WID" 1)
    w2=$(ra_row_width "$RA_PNG" "$RA_WID" 2)
    w3=$(ra_row_width "$RA_PNG" "$RA_WID" 3)
    [ "$w1" -gt 10 ] && [ "$w1" -lt "$w2" ] && [ "$w2" -lt "$w3" ] ||
        fail "the right order is not listed as stored (rows $w1, $w2, $w3 px wide)"
fi

if rw=$(wait_visible '^Результат тестирования$' 10); then
    sleep 0.3
    shot result
    eval "$(xdotool getwindowgeometry --shell "$rw")"
    shown=$(shown_text_width "$WORK/result.png" $((X + 275)) $((Y + 155)) 130 14)
    near "$shown" "$(text_width '2 балла' DejaVu-Sans-Bold)" ||
        fail "the result window does not show \"2 балла\" (text $shown px wide)"
    read_test_log "$WORK/log.txt"
    answers=$(logged_answers "$WORK/log.txt")
    expected=" - [Да]|
 - [Раз]|
 - [Бета-частица]| - [Гамма-излучение далёкой звезды]| - [Ось]|"
    [ "$answers" = "$expected" ] || fail "the answers in the log:
$answers
$(cat "$WORK/log.txt")"
    marks=$(logged_marks "$WORK/log.txt")
    [ "$marks" = "5 3 2 " ] || fail "the marks in the log: $marks (not 5 3 2)"
    xdotool key Escape
    wait_player_exit 15 || fail "the player did not end"
    iconv -f CP1251 -t UTF-8 "$WORK/Results.txt" | grep -q '^Результирующая оценка: - 2 балла' ||
        fail "the record's mark is not 2: $(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt")"
else
    shot no_result
    fail "no result window after the last answer; shown: $(shown_windows)"
fi
finish
