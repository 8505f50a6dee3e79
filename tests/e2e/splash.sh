#!/bin/sh
# Start-up as a person sees it: the splash while the archive is copied, then the main
# window; the archive copy is gone once the program ends.
. "$(dirname "$0")/lib/common.sh"

# A big archive makes the copy take long enough to look at the splash.
truncate -s 400M "$WORK/archive.bin"
echo '{"MaxScore": 5}' >"$WORK/settings.json"
"$TP_APPENDPAYLOAD" "$TP_PLAYER" "$WORK/archive.bin" "$WORK/settings.json" "$WORK/test.exe"
rm -f "$WORK/archive.bin"
temp=$(wine_temp)
mkdir -p "$temp"
tmp_files() { find "$temp" -maxdepth 1 -name '*.tmp' | wc -l; }
before=$(tmp_files)

start_xvfb
"$WINE" "$WORK/test.exe" >"$WORK/player.log" 2>&1 &
player=$!

splash=$(wait_window '^Подождите, идет подготовка к запуску \.\.\.$' 400) || fail "no splash window"
if [ -n "${splash:-}" ]; then
    eval "$(xdotool getwindowgeometry --shell "$splash")"
    [ "$WIDTH" = 338 ] && [ "$HEIGHT" = 41 ] || fail "splash is ${WIDTH}x$HEIGHT"
    [ "$X" = $(((1024 - 338) / 2)) ] && [ "$Y" = $(((768 - 41) / 2)) ] || fail "splash at $X,$Y, not centred"
    # The window is found as soon as it exists; its first paint may come a moment later.
    for _ in $(seq 1 20); do
        import -window root "$WORK/splash.png" || true
        set -- $(count_pixels "$WORK/splash.png" $((X + 2)) $((Y + 2)) 334 37)
        [ "$1" -gt 6000 ] && break
        sleep 0.05
    done
    [ "$1" -gt 6000 ] || fail "splash face not painted ($1 light pixels)"
    [ "$2" -gt 100 ] || fail "splash text not painted ($2 dark pixels)"
    if [ -n "${TP_E2E_SHOTS:-}" ]; then cp "$WORK/splash.png" "$TP_E2E_SHOTS/"; fi
fi

login=$(wait_visible '^Регистрация нового пользователя$' 60) || fail "no registration after start-up"
xdotool search --onlyvisible --name '^Подождите' >/dev/null 2>&1 && fail "the splash is still there with the main window"
xdotool search --onlyvisible --name '^Проведение тестирования$' >/dev/null 2>&1 || fail "no main window"
[ "$(tmp_files)" -eq $((before + 1)) ] || fail "no archive copy while the player runs"
[ -d "$temp/_\$Orvotst" ] || fail "no work folder while the player runs"

# A registered person learns that this archive cannot be read, and is asked to register again.
if [ -n "${login:-}" ]; then
    register "Иванов" "1"
    box=$(wait_visible '^Ошибка!$' 30) || fail "no error box for the unreadable archive"
    [ -n "${box:-}" ] && press_return_in "$box"
    login=$(wait_visible '^Регистрация нового пользователя$' 30) || fail "no registration after the error"
    [ -n "${login:-}" ] && xdotool key Escape
fi
for _ in $(seq 1 200); do
    kill -0 "$player" 2>/dev/null || break
    sleep 0.05
done
kill -0 "$player" 2>/dev/null && fail "the player did not end after the box was closed"
[ "$(tmp_files)" -eq "$before" ] || fail "the archive copy was left behind"
[ -d "$temp/_\$Orvotst" ] && fail "the work folder was left behind"
finish
