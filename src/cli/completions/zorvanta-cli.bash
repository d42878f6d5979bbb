# bash completion for zorvanta-cli
_zorvanta_cli()
{
    local cur prev words cword
    _init_completion || return

    local commands="encrypt decrypt check ciphers selftest bench help"
    local ciphers="blowfish cast128 cast256 gost idea misty1 rijndael twofish aes aes256 cast5 cast-128 cast6 cast-256 misty gost28147"
    local file_options="--cipher --output --force --passphrase-file --passphrase-fd --passphrase-env --passphrase-hex
        --allow-empty-passphrase --progress --no-progress --quiet --help"
    local check_options="--cipher --passphrase-file --passphrase-fd --passphrase-env --passphrase-hex
        --allow-empty-passphrase --quiet --help"

    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    local command=${words[1]}

    case $prev in
        -c | --cipher)
            local names=$ciphers
            [[ $command != encrypt ]] && names="$names auto"
            COMPREPLY=($(compgen -W "$names" -- "$cur"))
            return
            ;;
        -o | --output | --passphrase-file)
            _filedir
            return
            ;;
        --passphrase-env)
            COMPREPLY=($(compgen -v -- "$cur"))
            return
            ;;
        --passphrase-fd | --passphrase-hex)
            return
            ;;
    esac

    case $command in
        encrypt | decrypt)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "$file_options" -- "$cur"))
            else
                _filedir
            fi
            ;;
        check)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "$check_options" -- "$cur"))
            else
                _filedir
            fi
            ;;
        help)
            [[ $cword -eq 2 ]] && COMPREPLY=($(compgen -W "$commands" -- "$cur"))
            ;;
    esac
} && complete -F _zorvanta_cli zorvanta-cli
