# fish completion for tarnwick: -q before the first file, then directories
# and only the files whose path the tool accepts: <dir>in/<stem>.ok or
# .fail, <dir>out/<stem>.cmd, where the stem is five digits, a digit or an
# ASCII letter, and either nothing or three more digits. Nothing is offered
# after the second file, since the tool ignores what follows it.

function __tarnwick_files_given
    set -l files 0
    for word in (commandline -opc)[2..-1]
        if test $files -gt 0; or not string match -q -- '-*' $word
            set files (math $files + 1)
        end
    end
    echo $files
end

function __tarnwick_paths
    set -l token (commandline -ct)
    # Patterns of ASCII only: [0-9] and [A-Za-z] here match no other letters.
    set -l stem '[0-9]{5}[0-9A-Za-z]([0-9]{3})?'
    for path in $token*
        if test -d $path
            echo $path/
        else if string match -qr -- "(^|.*)(in/$stem\.(ok|fail)|out/$stem\.cmd)\$" $path
            echo $path
        end
    end
end

complete -c tarnwick -f
complete -c tarnwick -n 'test (__tarnwick_files_given) -eq 0' -s q -d 'Quiet: the exit status alone answers'
complete -c tarnwick -n 'test (__tarnwick_files_given) -lt 2' -a '(__tarnwick_paths)'
