# Shared by the command-line checks: a scratch folder as the current folder, testmaker
# through an optional launcher, and `check` that notes a failure and goes on.
# The caller sets TESTMAKER (absolute path) and LAUNCHER, then sources this file.
TM() { $LAUNCHER "$TESTMAKER" "$@"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
# Runs testmaker, keeping stdout in $1.out, stderr in $1.err and the exit status in $rc.
run() { # name, arguments...
    name=$1
    shift
    set +e
    TM "$@" >"$name.out" 2>"$name.err"
    rc=$?
    set -e
}
check() { # description, command...
    what=$1
    shift
    if ! "$@"; then
        echo "FAIL: $what" >&2
        failed=1
    fi
}
# jq -c of a filter on a file, compared with the expected compact JSON.
is() { # description, file, filter, expected
    got=$(jq -c "$3" "$2")
    if [ "$got" != "$4" ]; then
        echo "FAIL: $1: $3 is $got, expected $4" >&2
        failed=1
    fi
}
