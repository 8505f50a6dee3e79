#!/bin/sh
# The bell rings and the PCs are shut down (wineboot -e ends the Windows session as Windows does):
# with the result window on screen the record is written before the program goes; in the middle
# of a question the run is recorded as it stands, its time and mark so far. The temporary files
# go as at every end.
. "$(dirname "$0")/lib/common.sh"

mkdir -p "$WORK/src"
cat >"$WORK/src/test.json" <<'JSON'
{"Name": "Зачёт", "ExtraFieldCaption": "Группа", "EffectSteps": 1, "KeepAnswerOrder": true,
 "SequentialOrder": true, "MaxScore": 10,
 "Questions": [
   {"Text": "Первый", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
   {"Text": "Второй", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}]}
JSON
make_test "$WORK/src"
temp_before=$(player_temp_files)

end_session() {
    HOME="$E2E_AUDIO_HOME" "$WINE" wineboot -e >>"$WORK/wineboot.log" 2>&1 || true
    wait_player_exit 20 || fail "the program did not end with the session; shown: $(shown_windows)"
    [ "$(player_temp_files)" = "$temp_before" ] || fail "temporary files left after the session: $(player_temp_files)"
}

start_xvfb

# The result window open: both questions answered right.
start_player "$WORK/test.exe"
register 'Белов Борис' 'П-11'
old=""
for n in 1 2; do
    wait_next_question "$old" 15 || fail "no question $n; shown: $(shown_windows)"
    old=$(question_sig "$WORK/settled.png")
    click_answer_line 1
    sleep 0.1
    click_answers_ok "$WORK/settled.png"
done
wait_visible '^Результат тестирования$' 10 >/dev/null || fail "no result window; shown: $(shown_windows)"
[ -e "$WORK/Results.txt" ] && fail "a record before the result window closed"
end_session
record_bytes 'Зачёт' 'Белов Борис' 'Группа' 'П-11' '10 баллов' >"$WORK/expected.txt"
results_without_time "$WORK/Results.txt" >"$WORK/actual.txt" 2>/dev/null
cmp -s "$WORK/actual.txt" "$WORK/expected.txt" ||
    fail "the record of the result on screen is not in Results.txt:
$(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt" 2>&1 | sed 's/\r$/<CR>/')"

# In the middle of a run: the first question (the second of the bank, in order) answered right,
# the next one on screen for a few seconds when the session ends.
start_player "$WORK/test.exe"
register 'Титова Тамара' 'П-12'
wait_next_question "" 15 || fail "no first question; shown: $(shown_windows)"
old=$(question_sig "$WORK/settled.png")
click_answer_line 1
sleep 0.1
click_answers_ok "$WORK/settled.png"
wait_next_question "$old" 15 || fail "no second question; shown: $(shown_windows)"
sleep 2
end_session
{
    cat "$WORK/expected.txt"
    record_bytes 'Зачёт' 'Титова Тамара' 'Группа' 'П-12' '10 баллов'
} >"$WORK/expected2.txt"
results_without_time "$WORK/Results.txt" >"$WORK/actual.txt" 2>/dev/null
cmp -s "$WORK/actual.txt" "$WORK/expected2.txt" ||
    fail "the run broken off by the session end is not recorded as it stood:
$(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt" 2>&1 | sed 's/\r$/<CR>/')"
seconds=$(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt" | sed -n 's/^Время тестирования: - \([0-9]*\) сек\r$/\1/p' | tail -n1)
[ "${seconds:-0}" -ge 2 ] || fail "the time so far is not recorded: ${seconds:-none} s"
finish
