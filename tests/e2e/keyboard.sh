#!/bin/sh
# The keyboard alone, from the registration to the result: a single choice by its digit, a
# multiple choice with Space and Tab / Shift+Tab, an ordering put right with Ctrl+Down, and a
# typed answer confirmed from "ОК" reached with Tab; Enter confirms each. No mouse event at all.
. "$(dirname "$0")/lib/common.sh"

# A fresh sequential test starts at the bank's second question: single, multiple, ordering,
# then the typed one.
mkdir -p "$WORK/src"
cat >"$WORK/src/test.json" <<'JSON'
{"Name": "Клавиатура", "ExtraFieldCaption": "Класс", "EffectSteps": 1, "MaxScore": 5,
 "SequentialOrder": true, "KeepAnswerOrder": true,
 "Questions": [
   {"AnswerMode": "typed", "Text": "Река", "Answers": [{"Weight": 1, "Text": ["Volga", "Волга"]}]},
   {"AnswerMode": "single", "Text": "Выберите одно",
    "Answers": [{"Text": "Нет"}, {"Weight": 1, "Text": "Да"}, {"Text": "Может быть"}]},
   {"AnswerMode": "multiple", "Text": "Выберите несколько",
    "Answers": [{"Weight": 1, "Text": "Раз"}, {"Weight": 1, "Text": "Два"}, {"Weight": -1, "Text": "Три"}]},
   {"AnswerMode": "ordering", "Text": "Упорядочьте",
    "Answers": [{"Weight": 3, "Text": "Гамма"}, {"Weight": 1, "Text": "Альфа"}, {"Weight": 2, "Text": "Бета"}]}]}
JSON
make_test "$WORK/src"

start_xvfb
start_player "$WORK/test.exe"
register 'Кузнецов Кирилл' '7А'

# Waits for the next question to settle, then presses the keys given.
next_question() { # what
    wait_next_question "$sig" 15 || { shot "stuck-$1"; fail "no $1 question; shown: $(shown_windows)"; return 1; }
    sig=$(question_sig "$WORK/settled.png")
    sleep 0.3
}

sig=""
next_question single || exit 1
xdotool key 2
sleep 0.2
shot single-chosen
xdotool key Return

next_question multiple || exit 1
xdotool key space
xdotool key Tab
xdotool key Tab
xdotool key shift+Tab
xdotool key space
sleep 0.2
shot multiple-chosen
xdotool key Return

next_question ordering || exit 1
xdotool key ctrl+Down
xdotool key ctrl+Down
sleep 0.2
shot ordering-moved
xdotool key Return

next_question typed || exit 1
type_text 'Volga'
xdotool key Tab
xdotool key Return

if wait_visible '^Результат тестирования$' 10 >/dev/null; then
    sleep 0.3
    shot result
    xdotool key Escape
    wait_player_exit 15 || fail "the player did not end"
    # The keyboard's answers were all right: the full mark.
    [ "$(results_without_time "$WORK/Results.txt")" = "$(record_bytes 'Клавиатура' 'Кузнецов Кирилл' 'Класс' '7А' '5 баллов')" ] ||
        fail "the record is not the full mark: $(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt")"
else
    shot no_result
    fail "no result window after the last answer; shown: $(shown_windows)"
fi
finish
