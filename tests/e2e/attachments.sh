#!/bin/sh
# Attachments as a person meets them: a question's picture in the viewer at natural size and
# fitted, an answer's sound with Play and Stop, an answer's picture inline and another in the
# popup that slides in while the pointer rests on its answer and out when it leaves, and an
# embedded document drawn in place of the question text.
. "$(dirname "$0")/lib/common.sh"

# Every picture is the same drawing: a red and a blue square of 60 pixels on white, 200 x 100
# (JPEG for the fitted one), so where and how large it is shown can be read off the screen.
mkdir -p "$WORK/src"
draw() { convert -size 200x100 xc:white -fill '#ff0000' -draw 'rectangle 20,20 79,79' \
             -fill '#0000ff' -draw 'rectangle 120,20 179,79' "$@"; }
draw BMP3:"$WORK/src/squares.bmp"
draw -quality 95 "$WORK/src/squares.jpg"
"$TP_TESTMAKER" make-ole "$WORK/src/squares.bmp" -o "$WORK/src/squares.ole" >/dev/null
"$(dirname "$TP_TESTMAKER")/makemedia" wav "$WORK/src/long.wav" 20000 440

# A fresh sequential test starts at the second question of the bank.
cat >"$WORK/src/test.json" <<'JSON'
{"Name": "Вложения", "ExtraFieldCaption": "Класс", "EffectSteps": 4, "SequentialOrder": true,
 "KeepAnswerOrder": true, "QuestionsPerTest": 5,
 "Questions": [
   {"Text": "Не задаётся", "Answers": [{"Weight": 1, "Text": "Да"}]},
   {"Text": "Рисунок в натуральную величину", "Attach": {"File": "squares.bmp", "ScaleMode": 0},
    "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
   {"Text": "Рисунок, вписанный в окно", "Attach": {"File": "squares.jpg", "ScaleMode": 2},
    "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
   {"Text": "Звук в ответе",
    "Answers": [{"Weight": 1, "Text": "Звук", "Attach": {"File": "long.wav"}}, {"Text": "Тишина"}]},
   {"Text": "Рисунки в ответах",
    "Answers": [{"Weight": 1, "Text": "Во всплывающем окне", "Attach": {"File": "squares.bmp", "InPopup": true}},
                {"Text": "В самом ответе", "Attach": {"File": "squares.bmp"}}]},
   {"Text": "Документ вместо текста",
    "Attach": {"File": "squares.ole", "ReplaceText": true, "Width": 200, "Height": 100},
    "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}]}
JSON
make_test "$WORK/src"

# The bounding box "x y w h" of the pixels of a colour (red or blue) inside a screen
# rectangle, or "none".
box_of() { # png colour x y w h
    convert "$1" -crop "$5x$6+$3+$4" +repage -alpha off -fuzz 25% -fill white +opaque "$2" \
        -fill black -opaque "$2" "$WORK/mask.png"
    if [ "$(convert "$WORK/mask.png" -format '%[fx:minima.r]' info:)" != 0 ]; then
        echo none
        return
    fi
    convert "$WORK/mask.png" -trim -format '%w %h %X %Y' info: 2>/dev/null |
        awk -v x="$3" -v y="$4" '{ printf "%d %d %d %d\n", x + $3, y + $4, $1, $2 }'
}
within() { [ $(($1 - $2)) -le "$3" ] && [ $(($2 - $1)) -le "$3" ]; }
# Checks a box against the expected one, each number within a tolerance.
expect_box() { # what got_box x y w h tolerance
    set -- "$1" "$2" "$3" "$4" "$5" "$6" "$7"
    what=$1
    # shellcheck disable=SC2086
    set -- $2 "$3" "$4" "$5" "$6" "$7"
    if [ "$1" = none ]; then fail "$what: not on screen"; return; fi
    within "$1" "$5" "$9" && within "$2" "$6" "$9" && within "$3" "$7" "$9" && within "$4" "$8" "$9" ||
        fail "$what: at $1,$2 size ${3}x$4, expected $5,$6 size ${7}x$8"
}

start_xvfb
start_player "$WORK/test.exe"
register 'Петров Пётр' '8В'

# 1. The picture at natural size, centred in the viewer under the question panel (which ends
# at y 220): the viewer is 512 wide from x 10, so the drawing's centre is at x 266. The
# search starts under the viewer's caption (its icon is red).
wait_next_question "" 15 || fail "no first question; shown: $(shown_windows)"
sleep 0.3
shot natural
red=$(box_of "$WORK/natural.png" red 0 262 530 400)
blue=$(box_of "$WORK/natural.png" blue 0 262 530 400)
# shellcheck disable=SC2086
set -- $red
if [ "$1" != none ]; then
    expect_box "natural size, red square" "$red" "$1" "$2" 60 60 1
    expect_box "natural size, blue square" "$blue" $(($1 + 100)) "$2" 60 60 1
    within $(($1 - 20 + 100)) 266 4 || fail "natural size: the drawing is centred at x $(($1 + 80)), not 266"
    [ "$2" -gt 240 ] || fail "natural size: the drawing starts at y $2, inside the question panel"
else
    fail "natural size: no picture under the question; shown: $(shown_windows)"
fi
sig=$(question_sig "$WORK/natural.png")
click_answer_line 1
click_answers_ok "$WORK/natural.png"

# 2. Fitted: the viewer takes the drawing's proportions, the drawing fills its view (2 pixels
# inside on each side), so it is twice as wide as high and spans nearly the viewer's width.
wait_next_question "$sig" 10 || { shot stuck-2; fail "no second question; shown: $(shown_windows)"; }
sleep 0.3
shot fitted
red=$(box_of "$WORK/fitted.png" red 0 262 530 400)
blue=$(box_of "$WORK/fitted.png" blue 0 262 530 400)
# shellcheck disable=SC2086
set -- $red
if [ "$1" != none ]; then
    # The drawing is (blue right - red left) * 200 / 160 wide.
    # shellcheck disable=SC2046
    set -- $red $(echo "$blue" | cut -d' ' -f1,3)
    width=$(((($5 + $6) - $1) * 200 / 160))
    [ "$width" -ge 480 ] && [ "$width" -le 512 ] || fail "fitted: the drawing is $width wide, not the viewer's width"
    within "$3" $((width * 60 / 200)) 3 && within "$4" "$3" 2 ||
        fail "fitted: the red square is ${3}x$4, not scaled with the drawing (${width} wide)"
else
    fail "fitted: no picture under the question; shown: $(shown_windows)"
fi
sig=$(question_sig "$WORK/fitted.png")
click_answer_line 1
click_answers_ok "$WORK/fitted.png"

# 3. The answer's sound: "Играть" at the answer's top left, "Стоп" beside it, greyed until
# the sound plays, greyed again when it has ended (the null sound output plays fast).
wait_next_question "$sig" 10 || { shot stuck-3; fail "no third question; shown: $(shown_windows)"; }
cp "$WORK/settled.png" "$WORK/sound.png"
stop_dark() { count_pixels "$1" 640 278 40 16 | cut -d' ' -f2; }
play_dark() { count_pixels "$1" 580 278 40 16 | cut -d' ' -f2; }
[ "$(stop_dark "$WORK/sound.png")" -lt 5 ] || fail "\"Стоп\" is not greyed before the sound plays"
[ "$(play_dark "$WORK/sound.png")" -gt 20 ] || fail "no \"Играть\" button at the answer's top left"
xdotool mousemove --sync 597 286 click 1
sleep 0.5
shot playing
[ "$(stop_dark "$WORK/playing.png")" -gt 20 ] || fail "\"Стоп\" did not come on while the sound plays"
[ "$(play_dark "$WORK/playing.png")" -lt 5 ] || fail "\"Играть\" is not greyed while the sound plays"
ended=""
for _ in $(seq 1 40); do
    shot after-sound
    if [ "$(stop_dark "$WORK/after-sound.png")" -lt 5 ] && [ "$(play_dark "$WORK/after-sound.png")" -gt 20 ]; then
        ended=yes
        break
    fi
    sleep 0.5
done
[ -n "$ended" ] || fail "the buttons did not come back when the sound ended"
sig=$(question_sig "$WORK/sound.png")
click_answer_line 2
click_answers_ok "$WORK/sound.png"

# 4. Pictures of answers: the second answer shows its drawing inline; resting on the first
# slides the popup in at the top right, leaving slides it out.
wait_next_question "$sig" 10 || { shot stuck-4; fail "no fourth question; shown: $(shown_windows)"; }
cp "$WORK/settled.png" "$WORK/answers.png"
[ "$(box_of "$WORK/answers.png" red 532 0 492 228)" = none ] || fail "the popup is there before any hover"
inline=$(box_of "$WORK/answers.png" red 532 232 492 500)
[ "$inline" != none ] || fail "no inline picture in the second answer"
# shellcheck disable=SC2086
set -- $inline
# At most half the panel's width less 20 (199 here): a hair under natural size.
within "$3" 60 1 && within "$4" 60 1 || fail "the inline picture's red square is ${3}x$4, not near natural size"
xdotool mousemove --sync 700 284
sleep 0.6
shot popup
popup=$(box_of "$WORK/popup.png" red 532 0 492 228)
[ "$popup" != none ] || fail "resting on the answer did not bring the popup; shown: $(shown_windows)"
if [ "$popup" != none ]; then
    # shellcheck disable=SC2086
    set -- $popup
    [ "$3" -eq 60 ] && [ "$4" -eq 60 ] || fail "the popup's picture is not at natural size: ${3}x$4"
    # Centred in a popup 482 wide at x 532.
    within $(($1 + 80)) 773 6 || fail "the popup's picture is centred at x $(($1 + 80)), not 773"
fi
xdotool mousemove --sync 300 700
sleep 0.6
shot popup-gone
[ "$(box_of "$WORK/popup-gone.png" red 532 0 492 228)" = none ] || fail "leaving the answer did not take the popup away"
sig=$(question_sig "$WORK/answers.png")
click_answer_line 1
click_answers_ok "$WORK/answers.png"

# 5. The document in place of the text: 200 x 100 fitted into the panel's 512 width less 32,
# 16 pixels inside the panel at (10, 10), so 2.4 times its size; the text is hidden.
for _ in $(seq 1 50); do
    shot document
    [ "$(box_of "$WORK/document.png" red 10 10 502 400)" != none ] && break
    sleep 0.2
done
sleep 0.3
shot document
expect_box "document, red square" "$(box_of "$WORK/document.png" red 10 10 502 400)" 74 74 144 144 3
expect_box "document, blue square" "$(box_of "$WORK/document.png" blue 10 10 502 400)" 314 74 144 144 3
click_answer_line 1
b=$(answers_bottom "$WORK/document.png")
xdotool mousemove --sync 967 $((b - 28)) click 1

wait_visible '^Результат тестирования$' 15 >/dev/null || fail "no result window; shown: $(shown_windows)"
finish
