# bash completion for zorvanta-cli
_zorvanta_cli()
{
    local cur prev words cword split
    # -s: --option=VALUE completes VALUE as --option VALUE would.
    _init_completion -s || return

    local commands="encrypt decrypt check reseal keygen ciphers selftest bench help"
    local ciphers="blowfish cast128 cast256 gost idea misty1 rijndael twofish aes aes256 cast5 cast-128 cast6 cast-256 misty gost28147"
    local passphrase_options="--passphrase-file --passphrase-fd --passphrase-env --passphrase-hex
        --allow-empty-passphrase --quiet --help"
    local batch_options="--recursive --output-dir --jobs --progress --no-progress"
    local encrypt_options="--cipher --format --recipient --recipients-file --armor --work-factor --output --force
        $batch_options $passphrase_options"
    local decrypt_options="--cipher --identity --max-work-factor --output --force $batch_options $passphrase_options"
    local check_options="--cipher --identity --max-work-factor $batch_options $passphrase_options"
    local reseal_options="--cipher --recipient --recipients-file --work-factor --identity --new-passphrase-file
        --new-passphrase-fd --new-passphrase-env --delete-originals $batch_options $passphrase_options"
    local keygen_options="--output --force --public --passphrase-file --passphrase-fd --passphrase-env --passphrase-hex --help"

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
        --format)
            COMPREPLY=($(compgen -W "age legacy" -- "$cur"))
            return
            ;;
        -o | --output | --passphrase-file | --new-passphrase-file | -R | --recipients-file | -i | --identity)
            _filedir
            return
            ;;
        --output-dir)
            _filedir -d
            return
            ;;
        -r | --recipient | --work-factor | --max-work-factor | -j | --jobs)
            return
            ;;
        --passphrase-env | --new-passphrase-env)
            COMPREPLY=($(compgen -v -- "$cur"))
            return
            ;;
        --passphrase-fd | --new-passphrase-fd | --passphrase-hex)
            return
            ;;
    esac
    $split && return

    case $command in
        encrypt | decrypt | check | reseal | keygen)
            if [[ $cur == -* ]]; then
                local options=${command}_options
                COMPREPLY=($(compgen -W "${!options}" -- "$cur"))
            else
                _filedir
            fi
            ;;
        help)
            [[ $cword -eq 2 ]] && COMPREPLY=($(compgen -W "$commands" -- "$cur"))
            ;;
    esac
} && complete -F _zorvanta_cli zorvanta-cli
