#!/bin/sh
# The player on a screen at 150 % (144 DPI), from the registration through a question and the
# right answer to the result window: each window is 1.5 times its design size (or larger where
# a text needed it) and no text of its controls is cut. Pictures of the four screens are kept in
# build/e2e-shots/dpi144/.
TP_E2E_WINEPREFIX=${TP_E2E_WINEPREFIX_DPI144:-$(cd "$(dirname "$0")/../.." && pwd)/build/wine-x11-dpi144}
TP_E2E_DPI=144
. "$(dirname "$0")/lib/common.sh"

SHOTS=$E2E_ROOT/build/e2e-shots/dpi144
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
keep_shot() { # name
    import -window root "$SHOTS/$1.png"
}

mkdir -p "$WORK/src"
cat >"$WORK/src/test.json" <<'JSON'
{"Name": "Масштаб экрана", "ExtraFieldCaption": "Класс", "EffectSteps": 1, "MaxScore": 5,
 "SequentialOrder": true, "KeepAnswerOrder": true, "QuestionsPerTest": 1, "ShowRightAnswer": -1, "LimitSeconds": 600, "LimitWholeTest": true,
 "Questions": [
   {"Text": "Первый", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
   {"Text": "Сколько будет дважды два?",
    "Answers": [{"Text": "Три"}, {"Weight": 1, "Text": "Четыре"}, {"Text": "Пять"}]}]}
JSON
make_test "$WORK/src"

# Checks the shown window titled $1 from outside, as its texts are measured at its DPI: the DPI,
# the client at least the design's $2 x $3 scaled by 1.5 (within 3 pixels) and at most twice it,
# and no text cut. CLIENT_W and CLIENT_H are its client size. The answers window draws its hint
# and its button in the design's own font, not the system's.
check_window() { # title design_w design_h
    rc=0
    HOME="$E2E_AUDIO_HOME" "$WINE" "$TP_WINDOWTEXT" --fit "$1" --font 'TfAnswers:MS Sans Serif:8' \
        >"$WORK/fit.txt" 2>/dev/null || rc=$?
    out=$(tr -d '\r' <"$WORK/fit.txt")
    first=$(printf '%s\n' "$out" | head -n1)
    echo "$1: $first"
    dpi=$(echo "$first" | sed -n 's/^dpi \([0-9]*\) .*/\1/p')
    CLIENT_W=$(echo "$first" | sed -n 's/.* client \([0-9]*\)x.*/\1/p')
    CLIENT_H=$(echo "$first" | sed -n 's/.* client [0-9]*x\([0-9]*\)$/\1/p')
    [ "$dpi" = 144 ] || { fail "$1: the window is at ${dpi:-no} DPI ($out)"; return 1; }
    if [ "$2" -gt 0 ]; then
        [ "$CLIENT_W" -ge $(($2 * 3 / 2 - 3)) ] && [ "$CLIENT_W" -le $(($2 * 2)) ] &&
            [ "$CLIENT_H" -ge $(($3 * 3 / 2 - 3)) ] && [ "$CLIENT_H" -le $(($3 * 2)) ] ||
            fail "$1: the client is ${CLIENT_W}x$CLIENT_H, not 1.5 times ${2}x$3"
    fi
    [ "$rc" -eq 0 ] || fail "$1: texts are cut:
$(printf '%s\n' "$out" | sed -n '2,$p')"
}

# Waits for the screen to hold still and differ from the picture $1; the picture is left in
# $WORK/still.png.
wait_still_change() { # old_png [seconds]
    prev=""
    for _ in $(seq 1 $((${2:-15} * 4))); do
        import -window root "$WORK/now.png"
        sig=$(md5sum <"$WORK/now.png" | cut -c1-32)
        old=$( [ -f "$1" ] && md5sum <"$1" | cut -c1-32 || echo none)
        if [ "$sig" = "$prev" ] && [ "$sig" != "$old" ]; then
            cp "$WORK/now.png" "$WORK/still.png"
            return 0
        fi
        prev=$sig
        sleep 0.25
    done
    return 1
}

start_xvfb
start_player "$WORK/test.exe"

wait_visible '^Регистрация нового пользователя$' "$E2E_START_SECONDS" >/dev/null ||
    { fail "no registration window; shown: $(shown_windows)"; exit 1; }
sleep 0.3
type_text 'Иванова Анна Сергеевна'
xdotool key Tab
type_text '9Б'
sleep 0.3
keep_shot registration
check_window 'Регистрация нового пользователя' 404 128
import -window root "$WORK/still.png"
xdotool key Return

# The question, answered with the keyboard: the right answer is the second.
wait_gone '^Регистрация нового пользователя$' 10 || fail "the registration window stayed"
wait_still_change "$WORK/still.png" 20 || fail "the question did not come to rest"
sleep 0.5
keep_shot question
check_window 'Проведение тестирования' 0 0
xdotool key 2
sleep 0.3
xdotool key Return

if RA=$(wait_visible "$RIGHT_ANSWER_TITLE" 10); then
    sleep 0.5
    keep_shot right-answer
    check_window "Ответ на вопрос" 0 0
    eval "$(xdotool getwindowgeometry --shell "$RA")"
    [ "$WIDTH" -ge 600 ] || fail "the right-answer window is $WIDTH pixels wide at 150 %"
    xdotool key Return
    wait_gone "$RIGHT_ANSWER_TITLE" 5 || fail "Return did not close the right-answer window"
else
    keep_shot no-right-answer
    fail "no right-answer window; shown: $(shown_windows)"
fi

if wait_visible '^Результат тестирования$' 15 >/dev/null; then
    sleep 0.5
    keep_shot result
    check_window 'Результат тестирования' 431 223
    xdotool key Escape
    wait_player_exit 15 || fail "the player did not end"
    [ "$(results_without_time "$WORK/Results.txt")" = "$(record_bytes 'Масштаб экрана' 'Иванова Анна Сергеевна' 'Класс' '9Б' '5 баллов')" ] ||
        fail "the record: $(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt")"
else
    keep_shot no-result
    fail "no result window after the answer; shown: $(shown_windows)"
fi
finish
