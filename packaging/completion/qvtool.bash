# bash completion for qvtool. The subcommands, options and option values are
# read from qvtool's own --help, so the completion follows the program it
# completes.

# The words a help text lists: subcommand names under "Subcommands:", the long
# options under "Options:", or with "Values --OPTION" the fixed set of words
# that option takes (CLI11 shows it as "TEXT:{a,b,c}" beside the name) and
# with "Takes --OPTION" "yes" when the option takes a value at all.
_qvtool_help_words() {
    local section=$1 option=
    shift
    if [[ $section == Values || $section == Takes ]]; then
        option=$1
        shift
    fi
    "${COMP_WORDS[0]}" "$@" --help 2>/dev/null | awk -v want="$section" -v option="$option" '
        /^[A-Za-z][A-Za-z ]*:$/ { section = substr($0, 1, length($0) - 1); next }
        want == "Subcommands" && section == want && /^  [a-z]/ { print $1 }
        # Options, in "Options:" or a group of their own: the left column,
        # "  -h,--help   Print ..." or "  --format TEXT:{text,json,csv} [text]
        # Output ...", up to the first wide gap.
        section != "Positionals" && section != "Subcommands" && /^  -/ {
            left = substr($0, 3)
            sub(/  .*/, "", left)
            n = split(left, parts, /[ ,]+/)
            named = 0
            for (i = 1; i <= n; i++) {
                if (want == "Options" && parts[i] ~ /^--[a-z]/) print parts[i]
                if (parts[i] == option) named = 1
            }
            if (!named) next
            if (want == "Takes" && left ~ /^[^ ]+ [A-Z]/) print "yes"
            if (want == "Values" && match(left, /\{[^}]*\}/)) {
                n = split(substr(left, RSTART + 1, RLENGTH - 2), values, ",")
                for (i = 1; i <= n; i++) print values[i]
            }
        }' | sort -u
}

_qvtool() {
    local cur prev words cword
    _init_completion || return

    # The subcommand path so far: leading words that are not options and
    # that the help of the path before them lists as subcommands.
    local path=() i subs
    for ((i = 1; i < cword; i++)); do
        [[ ${words[i]} == -* ]] && break
        subs=$(_qvtool_help_words Subcommands "${path[@]}")
        [[ " ${subs//$'\n'/ } " == *" ${words[i]} "* ]] || break
        path+=("${words[i]}")
    done

    # The value of an option ("--format j" or "--format=j"): its fixed words
    # where it has them, else a file name (captures, streams, folders).
    local option=$prev
    [[ $prev == = && $cword -ge 2 ]] && option=${words[cword - 2]}
    if [[ $option == --* && $cur != -* ]] &&
        [[ -n $(_qvtool_help_words Takes "$option" "${path[@]}") ]]; then
        local values
        values=$(_qvtool_help_words Values "$option" "${path[@]}")
        if [[ -n $values ]]; then
            COMPREPLY=($(compgen -W "$values" -- "$cur"))
        else
            _filedir
        fi
        return
    fi

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_qvtool_help_words Options "${path[@]}")" -- "$cur"))
        return
    fi
    subs=$(_qvtool_help_words Subcommands "${path[@]}")
    if [[ -n $subs && $i -eq $cword ]]; then
        COMPREPLY=($(compgen -W "$subs" -- "$cur"))
        return
    fi
    # Everything else is a capture, a stream or a folder.
    _filedir
} &&
    complete -F _qvtool qvtool
