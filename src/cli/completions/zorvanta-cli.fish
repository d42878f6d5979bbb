# fish completion for zorvanta-cli
set -l commands encrypt decrypt check ciphers selftest bench help
set -l ciphers blowfish cast128 cast256 gost idea misty1 rijndael twofish aes aes256 cast5 cast-128 cast6 cast-256 misty gost28147

complete -c zorvanta-cli -f
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a encrypt -d 'encrypt INPUT into OUTPUT'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a decrypt -d 'decrypt INPUT into OUTPUT'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a check -d 'tell whether the passphrase opens FILE'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a ciphers -d 'list the ciphers'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a selftest -d 'run the known-answer tests'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a bench -d 'measure CBC speed per cipher'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a help -d 'show the help of a command'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -s V -l version -d 'print the version'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from help" -a "$commands"

set -l takes_passphrase "__fish_seen_subcommand_from encrypt decrypt check"
set -l writes "__fish_seen_subcommand_from encrypt decrypt"
complete -c zorvanta-cli -n "__fish_seen_subcommand_from encrypt" -s c -l cipher -x -a "$ciphers" -d 'the cipher'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from decrypt check" -s c -l cipher -x -a "$ciphers auto" -d 'the cipher'
complete -c zorvanta-cli -n $takes_passphrase -l passphrase-file -r -F -d 'first line of FILE'
complete -c zorvanta-cli -n $takes_passphrase -l passphrase-fd -x -d 'first line from descriptor N'
complete -c zorvanta-cli -n $takes_passphrase -l passphrase-env -x -a "(set -n -x)" -d 'value of variable VAR'
complete -c zorvanta-cli -n $takes_passphrase -l passphrase-hex -x -d 'exact bytes in hex (visible in ps)'
complete -c zorvanta-cli -n $takes_passphrase -l allow-empty-passphrase -d 'accept the empty passphrase'
complete -c zorvanta-cli -n $takes_passphrase -s q -l quiet -d 'print no line on success'
complete -c zorvanta-cli -n $takes_passphrase -s h -l help -d 'show the help of the command'
complete -c zorvanta-cli -n $writes -s o -l output -r -F -d 'write to FILE'
complete -c zorvanta-cli -n $writes -s f -l force -d 'replace an existing OUTPUT'
complete -c zorvanta-cli -n $writes -l progress -d 'show a progress line'
complete -c zorvanta-cli -n $writes -l no-progress -d 'show no progress line'
complete -c zorvanta-cli -n $takes_passphrase -F
