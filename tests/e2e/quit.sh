#!/bin/sh
# Leaving the program: with no information text the registration comes first, and Escape
# there ends the program; "Выйти из программы" after a run ends it too. The archive copy and
# the work folder live only while the program runs.
. "$(dirname "$0")/lib/common.sh"

mkdir -p "$WORK/src"
cat >"$WORK/src/test.json" <<'JSON'
{"Name": "Выход", "InfoText": "   ", "ExtraFieldCaption": "Группа", "EffectSteps": 1,
 "Questions": [{"Text": "Вопрос", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}]}
JSON
make_test "$WORK/src"
temp_before=$(player_temp_files)

start_xvfb

# Escape in the registration.
start_player "$WORK/test.exe"
wait_visible '^Регистрация нового пользователя$' "$E2E_START_SECONDS" >/dev/null ||
    fail "no registration for a test without information; shown: $(shown_windows)"
xdotool search --onlyvisible --name '^Информация теста' >/dev/null 2>&1 && fail "an information box for blank text"
during=$(player_temp_files)
printf '%s\n' "$during" | grep -q '/[A-Za-z0-9_$]\{8\}\.tmp$' || fail "no archive copy while the program runs: $during"
printf '%s\n' "$during" | grep -q '/_\$Orvotst$' || fail "no work folder while the program runs: $during"
sleep 0.2
xdotool key Escape
wait_player_exit 15 || fail "Escape in the registration did not end the program; shown: $(shown_windows)"
[ "$(player_temp_files)" = "$temp_before" ] || fail "temporary files left after Escape: $(player_temp_files)"
[ -e "$WORK/Results.txt" ] && fail "a results record without a run"

# "Выйти из программы" (Escape) in the result window of an interrupted run.
start_player "$WORK/test.exe"
register 'Иванов Иван' '9А'
wait_next_question "" 15 || fail "no question; shown: $(shown_windows)"
xdotool key Escape
wait_visible '^Внимание!$' 5 >/dev/null || fail "Escape during a question asked nothing"
xdotool key Return
wait_visible '^Результат тестирования$' 10 >/dev/null || fail "no result window after the interruption"
xdotool key Escape
wait_player_exit 15 || fail "the program did not end from the result window; shown: $(shown_windows)"
[ "$(player_temp_files)" = "$temp_before" ] || fail "temporary files left after the run: $(player_temp_files)"
[ -s "$WORK/Results.txt" ] || fail "no results record after the run"
finish
