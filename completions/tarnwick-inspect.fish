# fish completion for tarnwick-inspect: the options, thread counts from 1
# to the number of cores for --jobs, any file for --files-from, and folders
# and files for the paths to judge (the inspector walks folders and
# reports on any file, whatever its name).

function __tarnwick_inspect_jobs
    seq 1 (getconf _NPROCESSORS_ONLN 2>/dev/null; or echo 1)
end

complete -c tarnwick-inspect -l json -d 'Write JSON Lines'
complete -c tarnwick-inspect -s q -l quiet -d 'Print only what is not valid, and the summary'
complete -c tarnwick-inspect -l summary -d 'Print only the summary'
complete -c tarnwick-inspect -l pairs -d 'Pair each command with its response'
complete -c tarnwick-inspect -s j -l jobs -x -a '(__tarnwick_inspect_jobs)' -d 'Threads'
complete -c tarnwick-inspect -l files-from -r -F -d 'Take paths from FILE (- is standard input)'
complete -c tarnwick-inspect -s 0 -l null -d 'Paths in FILE end in a NUL byte'
complete -c tarnwick-inspect -l help -d 'Show the options and exit'
complete -c tarnwick-inspect -l version -d 'Show the version and exit'
