#!/usr/bin/env bash
# The manual pages and the shell completion say what the programs take:
# every subcommand of qvtool, nested ones too, has its subsection in qvtool(1)
# with each of its arguments and options; every option of qvsim is in
# qvsim(1); and the completion offers the words of every option that takes a
# fixed set of them, not file names. What is expected is read from the
# programs' own --help, so that a new subcommand or option needs no change here.
set -euo pipefail
qvtool=$1
qvsim=$2
mandir=$3
completion=$4
export QVORT_LANG=en
fail() { echo "FAIL: $*" >&2; exit 1; }

# A page's roff with the escapes that hide names undone.
page_source() { zcat "$1" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\&//g'; }
qvtool_page=$(page_source "$mandir/qvtool.1.gz")
qvsim_page=$(page_source "$mandir/qvsim.1.gz")

# What one help text lists: the names under "Subcommands:", the arguments
# under "Positionals:", or the long options elsewhere (all but the help
# flags, which the page describes once).
help_list() {
    local what=$1
    shift
    "$@" --help | awk -v what="$what" '
        /^[A-Za-z][A-Za-z ]*:$/ { section = substr($0, 1, length($0) - 1); next }
        what == "subcommands" && section == "Subcommands" && /^  [a-z]/ { print $1 }
        what == "arguments" && section == "Positionals" && /^  [A-Za-z]/ { print $1 }
        what == "options" && section != "Subcommands" && section != "Positionals" && /^  -/ {
            left = substr($0, 3)
            sub(/  .*/, "", left)
            n = split(left, parts, /[ ,]+/)
            for (i = 1; i <= n; i++) if (parts[i] ~ /^--[a-z]/ && parts[i] != "--help" && parts[i] != "--help-all") print parts[i]
        }'
}

# The subsection of one subcommand: from its heading to the next one.
subsection() {
    awk -v head=".SS \"$1\"" '
        $0 == head { inside = 1; next }
        inside && /^\.S[HS] / { exit }
        inside' <<<"$qvtool_page"
}

# Every subcommand path, depth first: "config", "config set", ...
paths=()
walk() {
    local sub
    for sub in $(help_list subcommands "$qvtool" "$@"); do
        paths+=("$*${*:+ }$sub")
        walk "$@" "$sub"
    done
}
walk
[ ${#paths[@]} -gt 10 ] || fail "only ${#paths[@]} subcommands found in qvtool --help"

for path in "${paths[@]}"; do
    # shellcheck disable=SC2086 # the path is words
    text=$(subsection "qvtool $path")
    [ -n "$text" ] || fail "qvtool(1) has no subsection for \"qvtool $path\""
    grep -q "^qvtool $path" <<<"$text" || fail "qvtool(1): no usage line for \"qvtool $path\""
    for name in $(help_list arguments "$qvtool" $path) $(help_list options "$qvtool" $path); do
        grep -qE -- "^(-[a-zA-Z],)?$name( |$)" <<<"$text" ||
            fail "qvtool(1): \"qvtool $path\" lacks $name"
    done
done
for name in $(help_list options "$qvtool"); do
    grep -q -- "$name" <<<"$qvtool_page" || fail "qvtool(1) lacks the global option $name"
done
for name in $(help_list options "$qvsim"); do
    grep -q -- "$name" <<<"$qvsim_page" || fail "qvsim(1) lacks $name"
done
# The socket folder's default in full, not cut short.
grep -q 'XDG_RUNTIME_DIR/qv-ort-sim' <<<"$qvsim_page" || fail "qvsim(1) does not give --dir's default"
# Sections a reader can scan: no section heading run into a sentence.
if grep -nE '[a-z] (Positionals|Options|Subcommands):' <<<"$qvtool_page"; then
    fail "qvtool(1) runs a section heading into the text"
fi

# The completion, with bash-completion's two helpers stood in for: a file
# name offered where a value was due shows as "<files>".
complete_line() {
    bash -c '
        _init_completion() {
            words=("${COMP_WORDS[@]}") cword=$COMP_CWORD
            cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
        }
        _filedir() { COMPREPLY=("<files>"); }
        source "$0"
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        _qvtool
        printf "%s\n" "${COMPREPLY[@]}" | sort' "$completion" "$qvtool" "$@"
}

# The fixed words of every option, from the "{a,b,c}" its help shows.
valued=()
for path in "" "${paths[@]}"; do
    # shellcheck disable=SC2086
    while IFS= read -r line; do
        name=$(sed -E 's/^ *(-[a-zA-Z],)?(--[a-z0-9-]+).*/\2/' <<<"$line")
        want=$(sed -E 's/.*\{([^}]*)\}.*/\1/' <<<"$line" | tr ',' '\n' | sort)
        # shellcheck disable=SC2086
        got=$(complete_line $path "$name" "")
        [ "$got" = "$want" ] ||
            fail "qvtool $path $name: completion offers \"$(echo $got)\", not \"$(echo $want)\""
        valued+=("$name")
    done < <("$qvtool" $path --help | grep -E '^  -.*\{[^}]*\}')
done
# The options a user meets first are among them.
for name in --format --code --protocol --payload; do
    [[ " ${valued[*]} " == *" $name "* ]] || fail "$name offers no fixed words in qvtool --help"
done
# A prefix narrows the words; an option with a free value still gets files.
[ "$(complete_line list --format j)" = json ] || fail "--format j does not complete to json"
[ "$(complete_line print --out "")" = "<files>" ] || fail "print --out does not complete file names"
[ "$(complete_line config "")" = "$(help_list subcommands "$qvtool" config | sort)" ] ||
    fail "config's subcommands are not offered"
echo "manual pages and completion: ${#paths[@]} subcommands, ${#valued[@]} options with fixed words"
