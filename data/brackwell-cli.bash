# bash completion for brackwell-cli
_brackwell_cli()
{
    local cur prev command
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    command=${COMP_WORDS[1]}

    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W 'format tree export --help --version' -- "$cur"))
        return
    fi
    case $prev in
    --to)
        COMPREPLY=($(compgen -W 'json xml yaml plist-xml plist-binary plist-openstep' -- "$cur"))
        return
        ;;
    --path-style)
        COMPREPLY=($(compgen -W 'outline jq pointer jsonpath' -- "$cur"))
        return
        ;;
    --search)
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        case $command in
        tree) COMPREPLY=($(compgen -W '--search --regex --ignore-case --relaxed --path-style' -- "$cur")) ;;
        format) COMPREPLY=($(compgen -W '--relaxed' -- "$cur")) ;;
        export) COMPREPLY=($(compgen -W '--to' -- "$cur")) ;;
        esac
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -F _brackwell_cli brackwell-cli
