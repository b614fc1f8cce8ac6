# bash completion for qvtool. The subcommands and options are read from
# qvtool's own --help, so the completion follows the program it completes.

# The words a help text lists: subcommand names under "Subcommands:" or the
# long options under "Options:".
_qvtool_help_words() {
    local section=$1
    shift
    "${COMP_WORDS[0]}" "$@" --help 2>/dev/null | awk -v want="$section" '
        /^[A-Za-z][A-Za-z ]*:$/ { in_section = ($0 == want ":"); next }
        in_section && want == "Subcommands" && /^  [a-z]/ { print $1 }
        # The names are the left column: "  -h,--help   Print ..." or
        # "  --unit TEXT   The unit ...", up to the first wide gap.
        in_section && want == "Options" && /^  -/ {
            names = substr($0, 3)
            sub(/  .*/, "", names)
            n = split(names, parts, /[ ,]+/)
            for (i = 1; i <= n; i++) if (parts[i] ~ /^--[a-z]/) print parts[i]
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
