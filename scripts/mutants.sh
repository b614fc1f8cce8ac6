#!/usr/bin/env bash
# Plants the small faults of scripts/mutants.list one at a time in a scratch
# copy of the tree, runs the test suite against each and prints which were
# caught. Not part of the test run: it builds and tests once per fault, which
# takes a long while (minutes per fault on two cores).
#
#   scripts/mutants.sh [--only ID,ID,...] [--jobs N] [--no-gui] [--dir DIR]
#                      [--list] [--check] [-- CTEST-ARGS...]
#
# --check only sees that every fault's lines are found in the tree.
#
# The scratch copy (default /tmp/qv-mutants) keeps its build between runs and
# compiles through ccache, so a fault costs the files it touches and the
# links. The copy is refreshed from the working tree at every run. Exit
# status 0 when every planted fault was caught, 1 when some survived, 2 when
# the tree itself does not build or pass.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/scripts/mutants.list"
scratch=/tmp/qv-mutants
jobs=2
gui=ON
only=""
check=0
ctest_args=()
while [ $# -gt 0 ]; do
    case $1 in
        --only) only=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --no-gui) gui=OFF; shift ;;
        --dir) scratch=$2; shift 2 ;;
        --list) grep -E '^[A-Z][0-9]+ ' "$list"; exit 0 ;;
        --check) check=1; shift ;;
        --) shift; ctest_args=("$@"); break ;;
        *) echo "usage: $0 [--only ID,...] [--jobs N] [--no-gui] [--dir DIR] [--list] [--check] [-- CTEST-ARGS]" >&2
           exit 2 ;;
    esac
done

# Plants (or, with "restore", takes back) one fault. The file's text is kept
# beside the copy so that taking it back restores it exactly.
plant() {
    python3 - "$list" "$scratch/src" "$@" <<'PY'
import os, sys
listfile, src, action, ident = sys.argv[1:5]
blocks, cur = {}, None
for line in open(listfile, encoding="utf-8"):
    line = line.rstrip("\n")
    if not line.strip() or line.startswith("#"):
        continue
    if line.startswith("file: "):
        cur["file"] = line[6:]
    elif line.startswith("- ") or line == "-":
        cur["old"].append(line[2:])
    elif line.startswith("+ ") or line == "+":
        cur["new"].append(line[2:])
    else:
        name = line.split()[0]
        cur = blocks[name] = {"what": line, "old": [], "new": []}
b = blocks[ident]
path = os.path.join(src, b["file"])
keep = os.path.join(src, "..", "original." + ident)
if action == "restore":
    text = open(keep, encoding="utf-8").read()
    open(path, "w", encoding="utf-8").write(text)
    os.remove(keep)
    sys.exit(0)
text = open(path, encoding="utf-8").read()
old, new = "\n".join(b["old"]) + "\n", "\n".join(b["new"]) + "\n"
if text.count(old) != 1:
    print(f"{ident}: its lines occur {text.count(old)} times in {b['file']}; mend the list",
          file=sys.stderr)
    sys.exit(3)
open(keep, "w", encoding="utf-8").write(text)
open(path, "w", encoding="utf-8").write(text.replace(old, new))
PY
}

ids=$(grep -Eo '^[A-Z][0-9]+ ' "$list" | tr -d ' ')
[ -z "$only" ] || ids=$(tr ',' '\n' <<<"$only")

# The copy: tracked and new files of the working tree. Only a file whose
# content differs from the copy's is written (and so dated now): keeping the
# tree's own times would leave an object built from another tree's newer
# file looking up to date, and writing every file would compile everything.
mkdir -p "$scratch/src"
for f in "$scratch"/original.*; do
    [ -e "$f" ] && { echo "a fault of an interrupted run is still planted; remove $scratch" >&2; exit 2; }
done
rm -rf "$scratch/stage" && mkdir -p "$scratch/stage"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
    tar --null --ignore-failed-read -T - -cf -) | tar -xpf - -C "$scratch/stage"
(cd "$scratch/stage" && find . -type f -print0) |
    while IFS= read -r -d '' f; do
        cmp -s "$scratch/stage/$f" "$scratch/src/$f" && continue
        mkdir -p "$(dirname "$scratch/src/$f")"
        cp "$scratch/stage/$f" "$scratch/src/$f"
    done
rm -rf "$scratch/stage"

if [ "$check" = 1 ]; then
    for id in $ids; do
        plant plant "$id" && plant restore "$id" || exit 2
    done
    echo "every fault's lines are found"
    exit 0
fi

# The build sits inside the copy as it does in a worktree, and ccache takes
# paths relative to the copy, so that objects compiled elsewhere are reused.
build="$scratch/src/build"
export CCACHE_BASEDIR="$scratch"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$scratch/src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DQVORT_BUILD_GUI="$gui" -DQVORT_BUILD_BENCH=OFF \
        >"$scratch/configure.log" 2>&1 || { echo "configure failed: $scratch/configure.log" >&2; exit 2; }
fi
log="$scratch/logs"
mkdir -p "$log"
echo "building the unchanged tree in $build"
cmake --build "$build" -j"$jobs" >"$log/base-build.log" 2>&1 ||
    { echo "the tree does not build: $log/base-build.log" >&2; exit 2; }

caught=() survived=() unbuilt=()
for id in $ids; do
    what=$(grep -E "^$id " "$list" | cut -d' ' -f2-)
    plant plant "$id" || exit 2
    printf '%-4s %s ... ' "$id" "$what"
    if ! cmake --build "$build" -j"$jobs" >"$log/$id-build.log" 2>&1; then
        echo "did not build"
        unbuilt+=("$id")
    elif (cd "$build" && ctest -j"$jobs" --stop-on-failure --timeout 900 "${ctest_args[@]}") \
        >"$log/$id-test.log" 2>&1; then
        echo "SURVIVED"
        survived+=("$id")
    else
        by=$(grep -Eo '[0-9]+ - [^ ]+ \((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception)' \
            "$log/$id-test.log" | head -n 3 | sed 's/^[0-9]* - //; s/ (.*//' | paste -sd, -)
        echo "caught by ${by:-the suite}"
        caught+=("$id")
    fi
    plant restore "$id"
done
# Leave the build matching the tree again.
cmake --build "$build" -j"$jobs" >"$log/base-build.log" 2>&1 || true

total=$(( ${#caught[@]} + ${#survived[@]} ))
echo "caught ${#caught[@]} of $total$([ "$total" -gt 0 ] && echo " ($(( 100 * ${#caught[@]} / total ))%)")"
[ ${#survived[@]} -eq 0 ] || echo "survived: ${survived[*]}"
[ ${#unbuilt[@]} -eq 0 ] || echo "did not build (not counted): ${unbuilt[*]}"
echo "logs in $log"
[ ${#survived[@]} -eq 0 ]
