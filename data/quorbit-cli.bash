# bash completion for quorbit-cli: commands, options, their fixed words, and
# folders, MP3 files or journals where a command takes one.

_quorbit_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} command=${COMP_WORDS[1]}
    local IFS=$'\n'
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W $'rename\nsort\nundo\nrecover\ntags\n--help\n--help-all\n--version' -- "$cur"))
        return
    fi
    case $prev in
    --op)
        # The program being completed names its own operations.
        COMPREPLY=($(compgen -W "$("${COMP_WORDS[0]/#\~/$HOME}" --list-operations 2>/dev/null)" -- "$cur"))
        return
        ;;
    --apply-to)
        COMPREPLY=($(compgen -W $'files\nfolders\nboth' -- "$cur"))
        return
        ;;
    --part)
        COMPREPLY=($(compgen -W $'names\nextensions\nboth' -- "$cur"))
        return
        ;;
    --set)
        COMPREPLY=($(compgen -W $'title=\nartist=\nalbum=\nyear=\ntrack=\ngenre=\ncomment=' -- "$cur"))
        compopt -o nospace 2>/dev/null
        return
        ;;
    --text | --replace | --number | --mask | --from-tags)
        return # free text
        ;;
    esac
    if [[ $cur == -* ]]; then
        local options=''
        case $command in
        rename) options=$'--op\n--text\n--replace\n--number\n--apply-to\n--part\n--subfolders\n--mask\n--from-tags\n--apply\n--json' ;;
        sort) options=$'--apply-to\n--subfolders\n--mask\n--apply\n--json' ;;
        undo) options=$'--list\n--json' ;;
        recover) options=$'--finish\n--undo\n--leave\n--json' ;;
        tags) options=$'--set\n--json' ;;
        esac
        COMPREPLY=($(compgen -W "$options"$'\n--help' -- "$cur"))
        return
    fi
    case $command in
    rename | sort)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        ;;
    tags)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.[mM][pP]3' -- "$cur"))
        ;;
    recover)
        local journals=${XDG_STATE_HOME:-$HOME/.local/state}/quorbit
        COMPREPLY=($(compgen -W "$(cd "$journals" 2>/dev/null && printf '%s\n' *.journal)" -- "$cur"))
        ;;
    esac
}
complete -F _quorbit_cli quorbit-cli
