#!/bin/sh
# A test exe with one damaged question (its entry claims more packed data than there is): the run
# does not stop there. The question shows empty, OK goes on, the next question is asked, the log
# names the question that could not be read, and the run's record is written.
. "$(dirname "$0")/lib/common.sh"

mkdir -p "$WORK/src"
cat >"$WORK/src/test.json" <<'JSON'
{"Name": "Повреждённый", "ExtraFieldCaption": "Класс", "EffectSteps": 1, "KeepAnswerOrder": true,
 "SequentialOrder": true,
 "Questions": [
   {"Text": "Целый", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]},
   {"Text": "Испорченный", "Answers": [{"Weight": 1, "Text": "Да"}, {"Text": "Нет"}]}]}
JSON
make_test "$WORK/src"
# In order the run starts with the bank's second question: its directory entry gets a packed
# size far beyond the archive.
perl -0777 -i -pe '
    my $at = rindex($_, "Q0002.QST");
    die "no entry\n" if $at < 46;
    substr($_, $at - 46 + 20, 4) = "\xF0\xFF\xFF\x7F";
' "$WORK/test.exe" || fail "cannot damage the test"

start_xvfb
start_player "$WORK/test.exe"
register 'Егоров Егор' '5В'
wait_visible '^Проведение тестирования$' 15 >/dev/null || fail "no run; shown: $(shown_windows)"
sleep 1.5
shot damaged
xdotool search --onlyvisible --name '^Ошибка!$' >/dev/null 2>&1 && fail "an error box for the damaged question"
[ "$(count_pixels "$WORK/damaged.png" 480 180 20 20 | cut -d' ' -f1)" -eq 400 ] ||
    fail "no question panel for the damaged question"
b=$(answers_bottom "$WORK/damaged.png")
[ "$b" -gt 232 ] || fail "no answers window for the damaged question"
xdotool mousemove --sync 967 $((b - 28)) click 1

wait_next_question "$(question_sig "$WORK/damaged.png")" 15 || fail "no next question; shown: $(shown_windows)"
click_answer_line 1
sleep 0.1
click_answers_ok "$WORK/settled.png"
wait_visible '^Результат тестирования$' 10 >/dev/null || fail "no result window; shown: $(shown_windows)"
read_test_log "$WORK/log.txt"
[ "$(grep -c 'Не удалось прочитать вопрос из файла "Q0002.QST"' "$WORK/log.txt")" -eq 1 ] ||
    fail "the log does not name the question that could not be read: $(cat "$WORK/log.txt")"
[ "$(asked_questions "$WORK/log.txt" | tr '\n' '|')" = "|Целый|" ] ||
    fail "asked: $(asked_questions "$WORK/log.txt" | tr '\n' '|')"
xdotool key Escape
wait_player_exit 15 || fail "Escape in the result window did not end the program"

record_bytes 'Повреждённый' 'Егоров Егор' 'Класс' '5В' '5 баллов' >"$WORK/expected.txt"
results_without_time "$WORK/Results.txt" >"$WORK/actual.txt" 2>/dev/null
cmp -s "$WORK/actual.txt" "$WORK/expected.txt" ||
    fail "the run is not recorded:
$(iconv -f CP1251 -t UTF-8 "$WORK/Results.txt" 2>&1 | sed 's/\r$/<CR>/')"
finish
