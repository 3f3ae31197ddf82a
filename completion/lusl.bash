# SPDX-License-Identifier: BSD-2-Clause
# bash completion for lusl. The subcommands and options come from the tool's own --help,
# so a new subcommand or option completes without touching this file.
_lusl_subcommands() {
    lusl --help 2>/dev/null | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }'
}
_lusl_options() { # of lusl itself, or of the subcommand $1
    lusl $1 --help 2>/dev/null |
        awk '/^ *-/ { n = split($1, w, ","); for (i = 1; i <= n; i++) if (w[i] ~ /^--/) print w[i] }'
}

_lusl() {
    local cur prev sub i
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        -*) ;;
        *) sub=${COMP_WORDS[i]}; break ;;
        esac
    done
    if [ -z "$sub" ]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$(_lusl_options)" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$(_lusl_subcommands)" -- "$cur"))
        fi
        return
    fi
    case $prev in
    --port | --count | -c | --type | --src | --rate) return ;; # a value, not a file
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_lusl_options "$sub")" -- "$cur"))
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -F _lusl lusl
