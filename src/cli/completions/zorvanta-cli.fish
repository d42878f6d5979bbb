# fish completion for zorvanta-cli
set -l commands encrypt decrypt check reseal keygen ciphers selftest bench help
set -l ciphers blowfish cast128 cast256 gost idea misty1 rijndael twofish aes aes256 cast5 cast-128 cast6 cast-256 misty gost28147

complete -c zorvanta-cli -f
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a encrypt -d 'encrypt INPUT into OUTPUT'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a decrypt -d 'decrypt INPUT into OUTPUT'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a check -d 'tell whether FILE opens'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a reseal -d 'move legacy files to age'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a keygen -d 'make an age identity'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a ciphers -d 'list the ciphers'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a selftest -d 'run the known-answer tests'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a bench -d 'measure CBC speed per cipher'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -a help -d 'show the help of a command'
complete -c zorvanta-cli -n "not __fish_seen_subcommand_from $commands" -s V -l version -d 'print the version'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from help" -a "$commands"

set -l takes_passphrase "__fish_seen_subcommand_from encrypt decrypt check reseal"
complete -c zorvanta-cli -n "__fish_seen_subcommand_from encrypt" -s c -l cipher -x -a "$ciphers" -d 'the cipher'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from decrypt check reseal" -s c -l cipher -x -a "$ciphers auto" -d 'the cipher'
complete -c zorvanta-cli -n $takes_passphrase -l passphrase-file -r -F -d 'first line of FILE'
complete -c zorvanta-cli -n $takes_passphrase -l passphrase-fd -x -d 'first line from descriptor N'
complete -c zorvanta-cli -n $takes_passphrase -l passphrase-env -x -a "(set -n -x)" -d 'value of variable VAR'
complete -c zorvanta-cli -n $takes_passphrase -l passphrase-hex -x -d 'exact bytes in hex (visible in ps)'
complete -c zorvanta-cli -n $takes_passphrase -l allow-empty-passphrase -d 'accept the empty passphrase'
complete -c zorvanta-cli -n $takes_passphrase -s q -l quiet -d 'print no line on success'
complete -c zorvanta-cli -n $takes_passphrase -s h -l help -d 'show the help of the command'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from encrypt" -l format -x -a "age legacy" -d 'the file format'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from encrypt reseal" -s r -l recipient -x -d 'encrypt to an age or SSH public key'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from encrypt reseal" -s R -l recipients-file -r -F -d 'encrypt to the age and SSH public keys in FILE'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from encrypt" -s a -l armor -d 'write the age file as text'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from encrypt reseal" -l work-factor -x -d 'scrypt work factor of an age passphrase'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from decrypt check reseal" -s i -l identity -r -F -d 'open age files with the identities or SSH private key in FILE'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from decrypt check" -l max-work-factor -x -d 'largest scrypt work factor to open'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from keygen" -s y -l public -d 'print the recipients of the identities in FILE'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from encrypt decrypt keygen" -s o -l output -r -F -d 'write to FILE'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from encrypt decrypt keygen" -s f -l force -d 'replace an existing OUTPUT'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from keygen" -F
complete -c zorvanta-cli -n $takes_passphrase -l progress -d 'show a progress line'
complete -c zorvanta-cli -n $takes_passphrase -l no-progress -d 'show no progress line'
complete -c zorvanta-cli -n $takes_passphrase -l recursive -d 'take the files in named folders'
complete -c zorvanta-cli -n $takes_passphrase -l output-dir -x -a "(__fish_complete_directories)" -d 'write outputs under DIR'
complete -c zorvanta-cli -n $takes_passphrase -s j -l jobs -x -d 'files at once'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from reseal" -l new-passphrase-file -r -F -d 'protect with the first line of FILE'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from reseal" -l new-passphrase-fd -x -d 'protect with the first line from descriptor N'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from reseal" -l new-passphrase-env -x -a "(set -n -x)" -d 'protect with the value of VAR'
complete -c zorvanta-cli -n "__fish_seen_subcommand_from reseal" -l delete-originals -d 'remove each original once verified'
complete -c zorvanta-cli -n $takes_passphrase -F
