#!/usr/bin/env bash
# Breaks the product on purpose, one fault at a time, and shows which tests catch each fault.
#
#   scripts/mutants.sh [CATALOGUE] [RESULT]     (make mutants)
#
# CATALOGUE (default tests/mutants.txt) holds one fault a line, four fields separated by tabs:
#   file <TAB> text to find <TAB> text to put instead <TAB> the fault in words
# Blank lines and lines starting with # are skipped. In the texts, {TAB} and {NL} stand for a tab
# and a line end. Each fault is applied alone (to the first place the text stands) in a scratch copy of
# the tree, which is rebuilt incrementally and tested with ctest; the table of caught and
# surviving faults, with the tests that caught each, is printed and written to RESULT (default
# build-mutants/mutants.md). A line whose text is no longer found is reported as such.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
catalogue=${1:-tests/mutants.txt}
scratch=${MUTANTS_DIR:-$root/build-mutants}
result=${2:-$scratch/mutants.md}
jobs=${JOBS:-$(nproc)}

tree="$scratch/tree"
build="$scratch/build"
mkdir -p "$tree"
# The scratch tree: what git tracks, plus uncommitted changes, without build folders.
git ls-files -z --cached --others --exclude-standard \
    | tar --null --ignore-failed-read -T - -cf - | tar -xf - -C "$tree"

echo "mutants: building the scratch tree"
# Each fault relinks every program that uses its layer: no debug information and the gold
# linker, where there is one, make that several times faster.
linker=()
command -v ld.gold >/dev/null && linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold)
cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=Release "${linker[@]}" >/dev/null
cmake --build "$build" -j "$jobs" >/dev/null
run_suite() {
    (cd "$build" && QT_QPA_PLATFORM=offscreen VORNIK_STORM_EVENTS=2000 \
        ctest -j "$jobs" --timeout 120 >/dev/null 2>&1)
}
if ! run_suite; then
    echo "mutants: the suite fails on the unbroken tree; fix that first" >&2
    exit 1
fi

rows=()
caught=0 survived=0 missing=0 unbuilt=0 number=0
# Tabs become unit separators first: read folds runs of tabs together, which would lose an
# empty replacement text.
while IFS=$'\037' read -r file find replace fault || [[ -n "$file" ]]; do
    [[ -z "$file" || "$file" == \#* ]] && continue
    number=$((number + 1))
    target="$tree/$file"
    status=""
    tests=""
    if [[ -z "$find" || -z "$fault" ]]; then
        status="malformed line (needs four tab-separated fields)"
        missing=$((missing + 1))
    elif [[ ! -f "$target" ]]; then
        status="not found (no file)"
        missing=$((missing + 1))
    else
        cp -p "$target" "$target.orig"
        if ! python3 - "$target" "$find" "$replace" <<'PY'
import sys
path, find, replace = sys.argv[1:4]
unescape = lambda t: t.replace('{TAB}', '\t').replace('{NL}', '\n')
find, replace = unescape(find), unescape(replace)
text = open(path, encoding='utf-8').read()
if find not in text:
    sys.exit(1)
open(path, 'w', encoding='utf-8').write(text.replace(find, replace, 1))
PY
        then
            status="not found (text)"
            missing=$((missing + 1))
        elif ! cmake --build "$build" -j "$jobs" >/dev/null 2>&1; then
            status="does not build"
            unbuilt=$((unbuilt + 1))
        elif run_suite; then
            status="SURVIVED"
            survived=$((survived + 1))
        else
            status="caught"
            caught=$((caught + 1))
            tests=$(sed 's/^[0-9]*://' "$build/Testing/Temporary/LastTestsFailed.log" | tr '\n' ' ')
        fi
        mv "$target.orig" "$target"
        touch "$target"
    fi
    rows+=("| $number | $file | $fault | $status | $tests |")
    echo "mutant $number: $status ${tests:+($tests)}- $fault"
done < <(tr '\t' '\037' < "$catalogue")
cmake --build "$build" -j "$jobs" >/dev/null 2>&1 || true

{
    echo "| # | File | Fault | Result | Caught by |"
    echo "|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
    echo
    echo "$caught caught, $survived survived, $missing not found, $unbuilt do not build ($number in the catalogue)"
} > "$result"
echo
cat "$result"
