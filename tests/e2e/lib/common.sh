# Shared by the end-to-end checks: the real player under Xvfb, driven with xdotool.
# Needs TP_PLAYER (the x86_64 testplayer.exe) and TP_APPENDPAYLOAD (the native tool).
set -eu

E2E_ROOT=${E2E_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
WINE=/usr/lib/wine/wine64
export WINEPREFIX="${TP_E2E_WINEPREFIX:-$E2E_ROOT/build/wine-x11}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# TP_E2E_DPI: the screen scaling of a prefix made now (a check at another DPI names a prefix of
# its own in TP_E2E_WINEPREFIX).
"$E2E_ROOT/scripts/wine-prefix" "$WINEPREFIX" x11 ${TP_E2E_DPI:-}
# Sounds play into ALSA's null device (there is no sound card): the player gets a home of
# its own holding that setting; the prefix was made with the real one.
E2E_AUDIO_HOME="$WINEPREFIX-home"
if [ ! -f "$E2E_AUDIO_HOME/.asoundrc" ]; then
    mkdir -p "$E2E_AUDIO_HOME"
    echo 'pcm.!default { type null }' >"$E2E_AUDIO_HOME/.asoundrc"
fi

WORK=$(mktemp -d)
E2E_PIDS=""
# A program's first window: Wine starts its services afresh for every script, which takes
# long on a machine busy with other tests.
E2E_START_SECONDS=90
E2E_FAILED=0

fail() {
    echo "FAIL: $*" >&2
    E2E_FAILED=1
}

e2e_cleanup() {
    if [ "$E2E_FAILED" -ne 0 ] && [ -s "$WORK/player.log" ]; then
        echo "player output:" >&2
        tail -n 40 "$WORK/player.log" >&2
    fi
    "${WINE%/*}/wineserver" -k 2>/dev/null || true
    for pid in $E2E_PIDS; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap e2e_cleanup EXIT

# Starts Xvfb on a free display and exports DISPLAY.
start_xvfb() {
    exec 5>"$WORK/display"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    E2E_PIDS="$E2E_PIDS $!"
    for _ in $(seq 1 100); do
        [ -s "$WORK/display" ] && break
        sleep 0.05
    done
    DISPLAY=":$(head -n1 "$WORK/display")"
    export DISPLAY
    "${WINE%/*}/wineserver" -p
}


# Wine's temporary folder in the prefix, where the player puts its archive copy.
wine_temp() {
    echo "$WINEPREFIX/drive_c/users/$(id -un)/Temp"
}

# Waits until a window whose title matches the regex is there; prints its id.
wait_window() {
    for _ in $(seq 1 ${2:-600}); do
        w=$(xdotool search --name "$1" 2>/dev/null | head -n1 || true)
        if [ -n "$w" ]; then
            echo "$w"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# Presses the default button of a message box as a person would: a click into the box
# gives it the keyboard, then Return.
press_return_in() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --sync $((X + 10)) $((Y + 10)) click 1
    sleep 0.2
    xdotool key Return
}

# Counts pixels of a screen rectangle: prints "light dark" (light: channel sum over 600,
# dark: under 384).
count_pixels() { # png x y w h
    convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace sRGB -depth 8 txt:- |
        awk 'NR > 1 && match($0, /: \([0-9]+,[0-9]+,[0-9]+/) {
                 split(substr($0, RSTART + 3, RLENGTH - 3), c, ",")
                 s = c[1] + c[2] + c[3]
                 if (s > 600) l++; else if (s < 384) d++
             }
             END { printf "%d %d\n", l, d }'
}

finish() {
    if [ "$E2E_FAILED" -ne 0 ]; then exit 1; fi
    echo "ok"
}

# ---- Helpers for runs of a whole test ----

TP_TESTMAKER=${TP_TESTMAKER:-$(dirname "$TP_APPENDPAYLOAD")/testmaker}

# Builds the test folder $1 (test.json inside) into $2 (default $WORK/test.exe).
make_test() { # src_dir [out]
    "$TP_TESTMAKER" build "$1" -o "${2:-$WORK/test.exe}" --player "$TP_PLAYER" >"$WORK/testmaker.log" 2>&1 ||
        { cat "$WORK/testmaker.log" >&2; echo "FAIL: testmaker could not build $1" >&2; exit 1; }
}

# Starts a test exe in the background; PLAYER_PID is its Wine process.
start_player() { # exe
    HOME="$E2E_AUDIO_HOME" "$WINE" "$1" >>"$WORK/player.log" 2>&1 &
    PLAYER_PID=$!
}

# Waits (up to $2 seconds, default 15) for the player to end; false if it did not.
wait_player_exit() { # [seconds]
    for _ in $(seq 1 $((${1:-15} * 20))); do
        kill -0 "$PLAYER_PID" 2>/dev/null || return 0
        sleep 0.05
    done
    return 1
}

# Like wait_window, but only shown windows count (hidden ones of the same title exist);
# $2 is in seconds (default 10).
wait_visible() { # regex [seconds]
    for _ in $(seq 1 $((${2:-10} * 20))); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
        if [ -n "$w" ]; then
            echo "$w"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# Waits until no shown window has a matching title.
wait_gone() { # regex [seconds]
    for _ in $(seq 1 $((${2:-10} * 20))); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.05
    done
    return 1
}

# Titles of the shown windows, for failure messages.
shown_windows() {
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
        printf '[%s] ' "$(xdotool getwindowname "$w")"
    done
}

# Screenshot of the screen into $WORK/$1.png (and $TP_E2E_SHOTS when set).
shot() { # name
    import -window root "$WORK/$1.png"
    if [ -n "${TP_E2E_SHOTS:-}" ]; then
        mkdir -p "$TP_E2E_SHOTS"
        cp "$WORK/$1.png" "$TP_E2E_SHOTS/$(basename "$0" .sh)-$1.png"
    fi
}

# A checksum of a screen rectangle of a screenshot.
region_sig() { # png x y w h
    convert "$1" -crop "$4x$5+$2+$3" +repage -depth 8 rgb:- | md5sum | cut -c1-32
}

# The question panel at the top left (its minimal height).
QUESTION_PANEL="10 10 502 210"

question_sig() { # png
    # shellcheck disable=SC2086
    region_sig "$1" $QUESTION_PANEL
}

# Waits until a question other than the one with the panel signature $1 is on screen with
# its answers, and holds still (the slides are over); the screenshot is left in
# $WORK/settled.png.
wait_next_question() { # old_sig [seconds]
    prev=""
    for _ in $(seq 1 $((${2:-10} * 8))); do
        import -window root "$WORK/settled.png"
        sig=$(question_sig "$WORK/settled.png")
        if [ "$sig" != "$1" ] && [ "$sig" = "$prev" ] &&
            [ "$(answers_bottom "$WORK/settled.png")" -gt 260 ] &&
            [ "$(count_pixels "$WORK/settled.png" 480 180 20 20 | cut -d' ' -f1)" -eq 400 ]; then
            return 0
        fi
        prev=$sig
        sleep 0.1
    done
    return 1
}

# The bottom of the answers window in a screenshot: the first black pixel under its top
# along its right border.
answers_bottom() { # png
    convert "$1" -crop 1x530+1012+232 +repage -depth 8 txt:- |
        awk 'NR > 1 && /#000000/ { split($1, p, /[,:]/); print 232 + p[2]; found = 1; exit }
             END { if (!found) print 0 }'
}

# Clicks the answers window's OK button, found from the screenshot $1.
click_answers_ok() { # png
    b=$(answers_bottom "$1")
    [ "$b" -gt 260 ] || { fail "no answers window on screen"; return 1; }
    xdotool mousemove --sync 967 $((b - 28)) click 1
}

# Clicks the n-th answer (from 1) of a choice list in the answers window: one-line answers
# are panels 40 high, 10 apart, the first 10 below the top of the list.
click_answer_line() { # n
    xdotool mousemove --sync 700 $((284 + (${1} - 1) * 50)) click 1
}

# Types into the focused control. A letter off the keymap (Cyrillic) is put on a spare key
# just before it is pressed, and Wine reads that change a little late: the first key after a
# focus change may be lost (hence F24), and letters that come too fast now and then too.
type_text() { # text
    xdotool key F24
    xdotool type --delay 250 "$1"
}

# Fills the registration window from its initial focus and presses Return.
register() { # name extra
    wait_visible '^Регистрация нового пользователя$' "$E2E_START_SECONDS" >/dev/null ||
        { fail "no registration window; shown: $(shown_windows)"; return 1; }
    sleep 0.2
    type_text "$1"
    xdotool key Tab
    type_text "$2"
    xdotool key Return
}

# Copies the test log: opens it with the result window's link, Ctrl+A Ctrl+C, closes it
# with Escape (or its "Закрыть" button when $2 is "button"). The text (UTF-8, LF) goes to
# the file $1.
read_test_log() { # out_file [button]
    rw=$(wait_visible '^Результат тестирования$' 5) || { fail "no result window to open the log from"; return 1; }
    eval "$(xdotool getwindowgeometry --shell "$rw")"
    printf '' | xclip -selection clipboard >/dev/null 2>&1
    xdotool mousemove --sync $((X + WIDTH - 57)) $((Y + HEIGHT - 15)) click 1
    wait_visible '^Журнал теста$' 5 >/dev/null || { fail "the link did not open the log window"; return 1; }
    sleep 0.3
    xdotool key ctrl+a ctrl+c
    for _ in $(seq 1 40); do
        xclip -o -selection clipboard >"$1" 2>/dev/null || true
        [ -s "$1" ] && break
        sleep 0.05
    done
    [ -s "$1" ] || fail "nothing copied from the log window"
    if [ "${2:-}" = button ]; then
        eval "$(xdotool getwindowgeometry --shell "$(wait_visible '^Журнал теста$' 1)")"
        xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT - 25)) click 1
    else
        xdotool key Escape
    fi
    wait_gone '^Журнал теста$' 5 || fail "${2:-Escape} did not close the log window"
    xdotool search --onlyvisible --name '^Результат тестирования$' >/dev/null 2>&1 ||
        fail "the result window went away with the log window"
}

# The questions asked, in order, from a copied log: one text per line.
asked_questions() { # log_file
    sed -n 's/^.* Задан вопрос "\(.*\)"$/\1/p' "$1"
}

# The person's answers in a copied test log, one line per question: the lines between the
# dashes, each ended by "|".
logged_answers() { # log_file
    awk '/Ответ пользователя:$/ { a = ""; while ((getline l) > 0 && l != "---") if (l != "----") a = a l "|"; print a }' \
        "$1"
}

# The running marks in a copied test log, each followed by a space.
logged_marks() { # log_file
    sed -n 's/^.* Предварительная оценка \([0-9]*\)$/\1/p' "$1" | tr '\n' ' '
}

# Bytes in the results file's code page.
cp1251() { # utf8 text (printf format)
    # shellcheck disable=SC2059
    printf "$1" | iconv -f UTF-8 -t CP1251
}

# Temporary files of the player in Wine's temp folder: the archive copies and the work folder.
player_temp_files() {
    t=$(wine_temp)
    { find "$t" -maxdepth 1 -name '????????.tmp' 2>/dev/null; [ -e "$t/_\$Orvotst" ] && echo "$t/_\$Orvotst"; } | sort
}

# Width in pixels of the text line of a message box (the part right of its icon), read
# from a screenshot: the box text cannot be copied under Wine.
box_text_width() { # png window_id
    eval "$(xdotool getwindowgeometry --shell "$2")"
    convert "$1" -crop "$((WIDTH - 60))x24+$((X + 55))+$((Y + 34))" +repage \
        -threshold 50% -negate -trim -format '%w' info:
}

# Waits (up to $4 seconds, default 3) until the box $2 shows a line of text $3 pixels wide: a box
# is found as soon as it is mapped, which may be before its text is painted. The last
# screenshot is $WORK/$1.png.
box_shows_width() { # shot_name window_id width [seconds]
    for _ in $(seq 1 $((${4:-3} * 5))); do
        shot "$1"
        near "$(box_text_width "$WORK/$1.png" "$2")" "$3" && return 0
        sleep 0.2
    done
    return 1
}

# Width of a text drawn in the default interface font at the size Wine uses for boxes
# ($2: DejaVu-Sans-Bold for bold text).
text_width() { # utf8 text [font]
    convert -size 800x30 xc:white -font "${2:-DejaVu-Sans}" -pointsize 11 -fill black -annotate +2+18 "$1" \
        -trim -format '%w' info:
}

# Width of the dark text in a screen rectangle of a screenshot.
shown_text_width() { # png x y w h
    convert "$1" -crop "$4x$5+$2+$3" +repage -threshold 50% -negate -trim -format '%w' info:
}

# True if two widths differ by no more than a few pixels (hinting differs a little).
near() { [ $(($1 - $2)) -le 8 ] && [ $(($2 - $1)) -le 8 ]; }

# ---- The answer list's colours and the right-answer window ----

# Milliseconds of the clock, and a sleep until such a moment.
clock_ms() { echo $(($(date +%s%N) / 1000000)); }
sleep_until_ms() { # ms
    d=$(($1 - $(clock_ms)))
    [ "$d" -le 0 ] || sleep "$((d / 1000)).$(printf '%03d' $((d % 1000)))"
}

# The colour of a screenshot pixel as a word: black, white, grey (any other neutral tone),
# red, lightred, blue, lightblue, yellow, lightyellow, or other.
pixel_class() { # png x y
    convert "$1" -crop "1x1+$2+$3" +repage -colorspace sRGB -depth 8 txt:- |
        awk 'NR == 2 && match($0, /\([0-9]+,[0-9]+,[0-9]+/) {
                 split(substr($0, RSTART + 1, RLENGTH - 1), c, ",")
                 r = c[1]; g = c[2]; b = c[3]
                 hi = r; if (g > hi) hi = g; if (b > hi) hi = b
                 lo = r; if (g < lo) lo = g; if (b < lo) lo = b
                 d = g - b; if (d < 0) d = -d
                 e = r - g; if (e < 0) e = -e
                 if (hi - lo < 12) k = lo < 60 ? "black" : (lo > 250 ? "white" : "grey")
                 else if (r > 200 && g < 80 && b < 80) k = "red"
                 else if (r > 200 && g >= 80 && d < 20 && g < r - 20) k = "lightred"
                 else if (b > 200 && r < 80 && g < 80) k = "blue"
                 else if (b > 200 && r >= 80 && e < 20 && r < b - 20) k = "lightblue"
                 else if (r > 200 && g > 200 && e < 20 && b < 80) k = "yellow"
                 else if (r > 200 && g > 200 && e < 20 && b < r - 20) k = "lightyellow"
                 else k = "other"
                 print k
             }'
}

# Width of a grey (or dark) text in a screen rectangle of a screenshot; 0 when there is none.
grey_text_width() { # png x y w h
    if [ "$(convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray -threshold 75% -format '%[min]' info:)" != 0 ]; then
        echo 0
    else
        convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray -threshold 75% -negate -trim -format '%w' info:
    fi
}

# The right-answer window "Ответ на вопрос" (client 404 wide; its X window includes Wine's
# frame: 3 px borders and a 19 px caption). Its band holds the bold verdict and a line
# under it; the grey countdown or hint sits at the bottom left.
RIGHT_ANSWER_TITLE='^Ответ на вопрос$'

# Checks the verdict band of the right-answer window $2 in the screenshot $1.
check_verdict() { # png wid status description
    eval "$(xdotool getwindowgeometry --shell "$2")"
    shown=$(shown_text_width "$1" $((X + 51)) $((Y + 27)) 348 16)
    near "$shown" "$(text_width "$3" DejaVu-Sans-Bold)" ||
        fail "the right-answer window does not say \"$3\" (bold text $shown px wide)"
    shown=$(shown_text_width "$1" $((X + 51)) $((Y + 43)) 348 16)
    near "$shown" "$(text_width "$4")" ||
        fail "the right-answer window does not say \"$4\" under the verdict (text $shown px wide)"
}

# Width of the grey text at the bottom left of the right-answer window $2 in the screenshot $1.
right_answer_hint_width() { # png wid
    eval "$(xdotool getwindowgeometry --shell "$2")"
    grey_text_width "$1" $((X + 11)) $((Y + HEIGHT - 32)) 291 16
}

# ---- Exam-day helpers: what a box says, the person's Documents, the results file ----

# The texts of the shown window titled $1 and its controls, one per line (UTF-8, no CR), as a
# screen reader reads them.
window_texts() { # title
    HOME="$E2E_AUDIO_HOME" "$WINE" "$TP_WINDOWTEXT" "$1" 2>/dev/null | tr -d '\r'
}

# The person's Documents folder, for the player, is the folder $1 until restore_documents.
E2E_SHELL_FOLDERS='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
set_documents() { # unix_dir
    "$WINE" reg add "$E2E_SHELL_FOLDERS" /v Personal /t REG_EXPAND_SZ /d "Z:$(echo "$1" | tr / '\\')" /f \
        >/dev/null 2>&1 || fail "cannot set the Documents folder"
}
restore_documents() {
    "$WINE" reg add "$E2E_SHELL_FOLDERS" /v Personal /t REG_EXPAND_SZ /d '%USERPROFILE%\Documents' /f \
        >/dev/null 2>&1 || true
}

# A results file with the seconds of its time lines turned into T, for comparing with records
# written by hand.
results_without_time() { # file
    time_line=$(cp1251 'Время тестирования: - ')
    sec=$(cp1251 'сек')
    LC_ALL=C sed "s/^\\(${time_line}\\)[0-9][0-9]* ${sec}\\r\$/\\1T\\r/" "$1"
}

# A record as the player writes it, the time as T.
record_bytes() { # test person caption second mark
    cp1251 "Название теста: - $1\\r\\nФИО тестируемого - $2\\r\\n$3 - $4\\r\\n"
    cp1251 "Время тестирования: - T\\r\\nРезультирующая оценка: - $5\\r\\n\\r\\n"
}
