#!/usr/bin/env bash
# Mutation check: puts small faults into a scratch copy of the committed HEAD,
# one at a time, rebuilds incrementally and runs the tests that should notice.
# A fault the tests miss is a gap in the tests, or a fault that cannot change
# behaviour (it then leaves the list). Not run by CI: it takes a while.
#
#   scripts/mutate.sh [options] [ID-REGEX]
#     -f FILE      the mutation list (default scripts/mutations.txt)
#     -s DIR       scratch folder, kept between runs for incremental builds
#                  (default /tmp/kestrum-mutants)
#     -t SECONDS   time allowed for one mutant's tests (default 300); a
#                  record's own "timeout:" wins
#     -j JOBS      build jobs (default $JOBS or nproc)
#     -l           list the mutants and exit
#     ID-REGEX     only the mutants whose id matches (grep -E)
#
# Each mutant is reported as CAUGHT (a test failed or timed out), SURVIVED
# (every test passed), NOT-APPLIED (its original text is not found exactly
# once: the code moved, so the record needs updating) or BUILD-FAILED. The
# catch rate counts caught and survived mutants only. Exit status: 0 when
# nothing survived, 1 otherwise, 2 on a setup error. Logs of each mutant are
# kept in the scratch folder's logs/.
#
# Records of the list are separated by blank lines; "#" starts a comment line.
#   id:      short unique name
#   file:    path from the repository root
#   find:    the exact original text; several find: lines are joined by
#            newlines (match a short, distinctive piece, not a whole block)
#   replace: the text put in its place, joined likewise (may be empty)
#   run:     test executables to rebuild and run, each TARGET or
#            TARGET:GTEST_FILTER, separated by spaces
#   tests:   instead of run:, a ctest -R pattern (rebuilds every target)
#   timeout: seconds for this mutant's tests
#   why:     the fault in words
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
list="$root/scripts/mutations.txt"
scratch="/tmp/kestrum-mutants"
timeout_default=300
only=""
list_only=0
source "$root/scripts/env.sh"
jobs="$JOBS"

while getopts "f:s:t:j:lh" option; do
    case "$option" in
    f) list="$(realpath "$OPTARG")" ;;
    s) scratch="$OPTARG" ;;
    t) timeout_default="$OPTARG" ;;
    j) jobs="$OPTARG" ;;
    l) list_only=1 ;;
    *) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
only="${1:-}"

[[ -f "$list" ]] || { echo "no mutation list: $list" >&2; exit 2; }

# --- Parsing: one line per record, fields separated by \x1f, newlines inside
# a field written as \x1e (neither appears in source code).
parse() {
    python3 - "$1" <<'EOF'
import sys
records, current = [], {}
def flush():
    global current
    if current:
        records.append(current)
    current = {}
for number, line in enumerate(open(sys.argv[1], encoding="utf-8"), 1):
    line = line.rstrip("\n")
    if not line.strip():
        flush()
        continue
    if line.lstrip().startswith("#"):
        continue
    key, sep, value = line.partition(":")
    key = key.strip()
    if not sep or key not in ("id", "file", "find", "replace", "run", "tests", "timeout", "why"):
        sys.exit(f"{sys.argv[1]}:{number}: not a field: {line}")
    value = value[1:] if value.startswith(" ") else value
    if key in ("find", "replace") and key in current:
        current[key] += "\n" + value
    elif key in current:
        sys.exit(f"{sys.argv[1]}:{number}: {key} given twice")
    else:
        current[key] = value
flush()
seen = set()
for record in records:
    for key in ("id", "file", "find"):
        if key not in record:
            sys.exit(f"record {record.get('id', '?')}: no {key}")
    if "run" not in record and "tests" not in record:
        sys.exit(f"record {record['id']}: neither run: nor tests:")
    if record["id"] in seen:
        sys.exit(f"record {record['id']}: id used twice")
    seen.add(record["id"])
    fields = [record.get(k, "") for k in ("id", "file", "find", "replace", "run", "tests", "timeout", "why")]
    print("\x1f".join(f.replace("\n", "\x1e") for f in fields))
EOF
}

records="$(parse "$list")" || exit 2
if [[ -n "$only" ]]; then
    records="$(printf '%s\n' "$records" | awk -F'\x1f' -v re="$only" '$1 ~ re')"
fi
[[ -n "$records" ]] || { echo "no mutant matches '$only'" >&2; exit 2; }
total=$(printf '%s\n' "$records" | wc -l)

if ((list_only)); then
    printf '%s\n' "$records" | awk -F'\x1f' '{ printf "%-28s %-34s %s\n", $1, $2, $8 }'
    exit 0
fi

# --- The scratch copy of HEAD and its build folder.
head="$(git -C "$root" rev-parse HEAD)" || exit 2
src="$scratch/src"
# The build folder sits inside the copy, as in a checkout, so the compiler
# cache finds the objects of other checkouts.
build="$src/build"
logs="$scratch/logs"
mkdir -p "$scratch" "$logs"
if [[ ! -d "$src/.git" ]]; then
    git clone -q --no-checkout "$root" "$src" || exit 2
fi
git -C "$src" fetch -q "$root" "$head" && git -C "$src" checkout -q --force --detach "$head" &&
    git -C "$src" clean -qfdx -e /build || exit 2
export CCACHE_BASEDIR="$src"
if [[ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]]; then
    echo "note: uncommitted changes are not part of the check (HEAD is ${head:0:10})"
fi

# Warnings stay warnings here: a fault often leaves a parameter unused.
echo "== Building HEAD ${head:0:10} in $build"
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUM_WERROR=OFF -DKESTRUM_BENCH=OFF \
    >"$logs/configure.log" 2>&1 || { echo "configure failed: $logs/configure.log" >&2; exit 2; }
cmake --build "$build" -j "$jobs" >"$logs/build.log" 2>&1 || { echo "build failed: $logs/build.log" >&2; exit 2; }

export QT_QPA_PLATFORM=offscreen

executable() {
    find "$build" -type f -name "$1" -perm -u+x -print -quit
}

# Runs a mutant's tests; 0 when all pass, 1 when one fails, 3 when the
# tests cannot be run as written.
run_tests() {
    local run="$1" tests="$2" limit="$3" log="$4"
    if [[ -n "$tests" ]]; then
        ctest --test-dir "$build" -R "$tests" --timeout "$limit" --output-on-failure -j "$jobs" >>"$log" 2>&1
        local status=$?
        grep -q "No tests were found" "$log" && return 3
        ((status == 0)) || return 1
        return 0
    fi
    local entry target filter exe
    local deadline=$((SECONDS + limit))
    for entry in $run; do
        target="${entry%%:*}"
        filter="*"
        [[ "$entry" == *:* ]] && filter="${entry#*:}"
        exe="$(executable "$target")"
        [[ -n "$exe" ]] || { echo "no executable $target" >>"$log"; return 3; }
        local left=$((deadline - SECONDS))
        ((left > 0)) || { echo "TIMEOUT before $target" >>"$log"; return 1; }
        echo "== $target --gtest_filter=$filter" >>"$log"
        # The shell's own note of a crash goes to the log too.
        { (cd "$(dirname "$exe")" && timeout -k 5 "$left" "$exe" --gtest_filter="$filter" --gtest_brief=1) >>"$log" 2>&1; } 2>>"$log"
        local status=$?
        ((status == 124 || status == 137)) && echo "TIMEOUT after ${limit} s" >>"$log"
        grep -qE "\] 0 tests from 0 test suites" "$log" && return 3
        ((status == 0)) || return 1
    done
    return 0
}

targets_of() {
    local run="$1" tests="$2" entry out=""
    [[ -n "$tests" ]] && { echo "all"; return; }
    for entry in $run; do out+="${entry%%:*} "; done
    echo "$out"
}

# --- Every mutant's tests must pass on HEAD first, or a "caught" means nothing.
echo "== Checking that the selected tests pass on HEAD"
baseline_failed=0
declare -A checked
while IFS=$'\x1f' read -r id file find replace run tests limit why; do
    key="$run|$tests"
    [[ -n "${checked[$key]:-}" ]] && continue
    checked[$key]=1
    log="$logs/baseline-$id.log"
    : >"$log"
    run_tests "$run" "$tests" "${limit:-$timeout_default}" "$log" </dev/null
    status=$?
    if ((status != 0)); then
        echo "   tests of $id fail or cannot run on HEAD: $log"
        baseline_failed=1
    fi
done <<<"$records"
((baseline_failed)) && { echo "fix the tests or the list first" >&2; exit 2; }

apply() {
    # Replaces the single occurrence of the original text; exit 3 when it is
    # not found exactly once.
    python3 - "$1" "$2" "$3" <<'EOF'
import sys
path, find, replace = sys.argv[1], sys.argv[2].replace("\x1e", "\n"), sys.argv[3].replace("\x1e", "\n")
try:
    text = open(path, encoding="utf-8").read()
except OSError:
    print("file not found"); sys.exit(3)
count = text.count(find)
if count != 1:
    print(f"original text found {count} times"); sys.exit(3)
open(path, "w", encoding="utf-8").write(text.replace(find, replace, 1))
EOF
}

caught=0 survived=0 not_applied=0 build_failed=0 n=0
survivors=()
results=()
echo "== $total mutants"
while IFS=$'\x1f' read -r id file find replace run tests limit why; do
    n=$((n + 1))
    log="$logs/$id.log"
    : >"$log"
    start=$SECONDS
    result=""
    if ! note="$(apply "$src/$file" "$find" "$replace")"; then
        result="NOT-APPLIED"
        why="$note"
        not_applied=$((not_applied + 1))
    else
        (cd "$src" && git diff) >>"$log"
        # shellcheck disable=SC2046
        if ! cmake --build "$build" -j "$jobs" --target $(targets_of "$run" "$tests") >>"$log" 2>&1 </dev/null; then
            result="BUILD-FAILED"
            build_failed=$((build_failed + 1))
        else
            run_tests "$run" "$tests" "${limit:-$timeout_default}" "$log" </dev/null
            case $? in
            0) result="SURVIVED"; survived=$((survived + 1)); survivors+=("$id") ;;
            1) result="CAUGHT"; caught=$((caught + 1)) ;;
            *) result="BUILD-FAILED"; build_failed=$((build_failed + 1)); why="tests could not run" ;;
            esac
        fi
        git -C "$src" checkout -q -- "$file"
    fi
    line=$(printf '[%2d/%d] %-12s %-28s %4ds  %s' "$n" "$total" "$result" "$id" $((SECONDS - start)) "$why")
    echo "$line"
    results+=("$line")
done <<<"$records"

# Leave the build matching HEAD for the next run.
cmake --build "$build" -j "$jobs" >>"$logs/build.log" 2>&1

applicable=$((caught + survived))
echo
echo "== Summary (HEAD ${head:0:10}, $(date -u +%Y-%m-%d))"
printf '   caught %d, survived %d, not applied %d, build failed %d, of %d\n' \
    "$caught" "$survived" "$not_applied" "$build_failed" "$total"
if ((applicable > 0)); then
    printf '   catch rate %d/%d = %d%%\n' "$caught" "$applicable" $((100 * caught / applicable))
fi
((${#survivors[@]})) && echo "   survivors: ${survivors[*]}"
((survived == 0))
