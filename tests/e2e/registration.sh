#!/bin/sh
# From start to the first question as a person sees it: the test's information box, the
# registration window refusing a blank name, a run started by a filled registration.
. "$(dirname "$0")/lib/common.sh"

mkdir -p "$WORK/info"
cat >"$WORK/info/test.json" <<'JSON'
{
  "Name": "Регистрация",
  "InfoText": "Прочтите вопросы внимательно",
  "ExtraFieldCaption": "Группа",
  "EffectSteps": 1,
  "KeepAnswerOrder": true,
  "Questions": [
    {"Text": "Первый вопрос", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}
  ]
}
JSON
make_test "$WORK/info" "$WORK/info.exe"

start_xvfb
start_player "$WORK/info.exe"

box=$(wait_visible '^Информация теста \.\.\.$' "$E2E_START_SECONDS") || fail "no information box; shown: $(shown_windows)"
if [ -n "${box:-}" ]; then
    box_shows_width info "$box" "$(text_width 'Прочтите вопросы внимательно')" ||
        fail "the information box does not show the test's text"
    xdotool search --onlyvisible --name '^Регистрация нового пользователя$' >/dev/null 2>&1 &&
        fail "the registration is shown together with the information box"
    press_return_in "$box"
fi

wait_visible '^Регистрация нового пользователя$' 10 >/dev/null ||
    fail "no registration after the information box; shown: $(shown_windows)"
# Only spaces count as blank.
sleep 0.2
type_text '   '
xdotool key Return
box=$(wait_visible '^Заполнение некорректно$' 5) || fail "a blank name was accepted; shown: $(shown_windows)"
if [ -n "${box:-}" ]; then
    box_shows_width blank_name "$box" "$(text_width 'Поле ввода "Фамилия Имя Отчество" не заполнено!')" ||
        fail "the blank name box does not name the field (text $(box_text_width "$WORK/blank_name.png" "$box") px wide)"
    xdotool key Return
    wait_gone '^Заполнение некорректно$' 5 || fail "the box did not close"
fi
xdotool search --onlyvisible --name '^Регистрация нового пользователя$' >/dev/null 2>&1 ||
    fail "the registration went away after the blank name"

# After the box the person goes on typing where they were: the name, Tab, the group.
sleep 0.3
xdotool key ctrl+a
type_text 'Иванов Иван'
xdotool key Tab
type_text '9А'
xdotool key Return
if box=$(wait_visible '^Заполнение некорректно$' 2); then
    shot refused
    fail "after the blank-name box the typing did not reach the name field (no field has the keyboard)"
    xdotool key Return
    wait_gone '^Заполнение некорректно$' 5 || true
    # Go on with the mouse to check the rest.
    xdotool mousemove --sync 560 365 click 1 key ctrl+a
    type_text 'Иванов Иван'
    xdotool mousemove --sync 560 409 click 1 key ctrl+a
    type_text '9А'
    xdotool key Return
fi

wait_gone '^Регистрация нового пользователя$' 5 || fail "the registration stayed; shown: $(shown_windows)"
wait_visible '^Проведение тестирования$' 5 >/dev/null || fail "no main window"
wait_next_question "" 10 || fail "the first question did not settle on screen"
shot question
# shellcheck disable=SC2046
set -- $(count_pixels "$WORK/question.png" 12 12 498 206)
[ "$1" -gt 80000 ] || fail "the question panel is not shown ($1 light pixels)"
[ "$2" -gt 30 ] || fail "the question panel has no text ($2 dark pixels)"
[ "$(answers_bottom "$WORK/question.png")" -gt 260 ] || fail "no answers window beside the question"
# shellcheck disable=SC2046
set -- $(count_pixels "$WORK/question.png" 10 680 1004 85)
[ "$1" -gt 30000 ] || fail "no information box at the bottom"

xdotool key Escape
wait_visible '^Внимание!$' 5 >/dev/null && xdotool key Return
wait_visible '^Результат тестирования$' 10 >/dev/null && xdotool key Escape
wait_player_exit 15 || fail "the player did not end"
finish
