#!/bin/sh
# The test on a read-only share (a read-only mount here: Wine, run as root, ignores file
# permissions): the run ends as always, the record goes to Results.txt in the person's
# Documents, and a box names that file before the program goes on.
. "$(dirname "$0")/lib/common.sh"

mkdir -p "$WORK/src" "$WORK/share" "$WORK/Мои документы"
cat >"$WORK/src/test.json" <<'JSON'
{"Name": "Контрольная", "ExtraFieldCaption": "Класс", "EffectSteps": 1, "KeepAnswerOrder": true,
 "Questions": [{"Text": "Вопрос", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}]}
JSON
make_test "$WORK/src"

mount -t tmpfs -o size=64m tmpfs "$WORK/share" || { fail "cannot mount a folder"; finish; }
ro_cleanup() {
    restore_documents
    umount "$WORK/share" 2>/dev/null || umount -l "$WORK/share" 2>/dev/null || true
    e2e_cleanup
}
trap ro_cleanup EXIT
cp "$WORK/test.exe" "$WORK/share/test.exe"
mount -o remount,ro "$WORK/share" || fail "cannot make the folder read-only"
touch "$WORK/share/probe" 2>/dev/null && fail "the folder can still be written"

start_xvfb
set_documents "$WORK/Мои документы"
start_player "$WORK/share/test.exe"
register 'Смирнова Ольга' '10Б'
wait_next_question "" 15 || fail "no question; shown: $(shown_windows)"
click_answer_line 1
sleep 0.1
click_answers_ok "$WORK/settled.png"
wait_visible '^Результат тестирования$' 10 >/dev/null || fail "no result window; shown: $(shown_windows)"
xdotool key Escape

if wait_visible '^Файл результатов$' 20 >/dev/null; then
    shot elsewhere
    window_texts 'Файл результатов' >"$WORK/box.txt"
    grep -q 'Результат записан в файл "Z:.*\\Мои документы\\Results.txt"\.' "$WORK/box.txt" ||
        fail "the box does not name the file in Documents: $(cat "$WORK/box.txt")"
    grep -q 'share\\Results.txt' "$WORK/box.txt" ||
        fail "the box does not name the file that could not be written: $(cat "$WORK/box.txt")"
    xdotool search --onlyvisible --name '^Ошибка!$' >/dev/null 2>&1 && fail "an error box as well"
    press_return_in "$(wait_visible '^Файл результатов$' 1)"
else
    fail "no box saying where the record went; shown: $(shown_windows)"
fi
wait_player_exit 15 || fail "the program did not end after the box; shown: $(shown_windows)"

[ -e "$WORK/share/Results.txt" ] && fail "a results file in the read-only folder"
record_bytes 'Контрольная' 'Смирнова Ольга' 'Класс' '10Б' '5 баллов' >"$WORK/expected.txt"
results_without_time "$WORK/Мои документы/Results.txt" >"$WORK/actual.txt" 2>/dev/null
cmp -s "$WORK/actual.txt" "$WORK/expected.txt" ||
    fail "Documents\\Results.txt is not the run's record:
$(iconv -f CP1251 -t UTF-8 "$WORK/Мои документы/Results.txt" 2>&1 | sed 's/\r$/<CR>/')"
finish
