#!/bin/sh
# Eight players finishing in the same instant, 25 runs each, into one results file that does not
# exist yet: every record must be there once, whole, six CR LF lines in Windows-1251, never
# interleaved with another, and nothing else in the file.
#   results_stress.sh RESULTS_STRESS [LAUNCHER]
# LAUNCHER runs the program when it is not a program of this system (scripts/wine-run).
set -eu
STRESS=$1
LAUNCHER=${2:-}
WRITERS=8
RECORDS=25
case $STRESS in /*) ;; *) STRESS=$(pwd)/$STRESS ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

set +e
$LAUNCHER "$STRESS" "$WRITERS" "$RECORDS" Results.txt >out.txt 2>err.txt
rc=$?
set -e
cat out.txt
[ "$rc" -eq 0 ] || { fail "results_stress exited with $rc"; cat err.txt >&2; }
grep -q "^results_stress: $WRITERS writers x $RECORDS records into Results.txt: 0 writers failed" out.txt ||
    fail "no summary line"
[ -f Results.txt ] || { fail "no results file"; exit 1; }

# Every line ends in CR LF; the text is Windows-1251.
lines=$(wc -l <Results.txt)
crlf=$(grep -c "$(printf '\r')\$" Results.txt || true)
[ "$lines" -eq $((WRITERS * RECORDS * 6)) ] || fail "$lines lines, expected $((WRITERS * RECORDS * 6))"
[ "$crlf" -eq "$lines" ] || fail "$((lines - crlf)) lines without CR LF"
[ "$(tail -c 4 Results.txt | od -An -tx1 | tr -d ' \n')" = "0d0a0d0a" ] || fail "the file does not end with a record"
iconv -f CP1251 -t UTF-8 <Results.txt | tr -d '\r' >utf8.txt || fail "not Windows-1251"

# Record by record: the exact six lines, the person named after its writer and number.
awk -v writers="$WRITERS" -v records="$RECORDS" '
    function expect(i, want) { if (line[i] != want) { printf "record %d, line %d: \"%s\", expected \"%s\"\n", n, i, line[i], want; bad++ } }
    { line[NR % 6 == 0 ? 6 : NR % 6] = $0 }
    NR % 6 == 0 {
        n++
        expect(1, "Название теста: - Проверка одновременной записи")
        if (line[2] !~ /^ФИО тестируемого - writer [0-9]+ record [0-9]+$/) { printf "record %d: person \"%s\"\n", n, line[2]; bad++ }
        expect(3, "Класс - 9А")
        expect(4, "Время тестирования: - 1 мин 15 сек")
        expect(5, "Результирующая оценка: - 5 баллов")
        expect(6, "")
        person = substr(line[2], length("ФИО тестируемого - ") + 1)
        if (seen[person]++) { printf "\"%s\" twice\n", person; bad++ }
    }
    END {
        for (w = 1; w <= writers; w++) for (r = 1; r <= records; r++)
            if (!(("writer " w " record " r) in seen)) { printf "\"writer %d record %d\" missing\n", w, r; bad++ }
        exit bad > 0
    }' utf8.txt >check.txt || { fail "records broken:"; head -n 20 check.txt >&2; }

# Each writer's records follow its own order.
for w in $(seq 1 "$WRITERS"); do
    order=$(sed -n "s/^ФИО тестируемого - writer $w record //p" utf8.txt | tr '\n' ' ')
    [ "$order" = "$(seq 1 "$RECORDS" | tr '\n' ' ')" ] || fail "writer $w wrote out of order: $order"
done

[ "$failed" -eq 0 ] && echo "ok"
exit "$failed"
