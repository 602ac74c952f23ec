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
complete -c tarnwick-inspect -s l -l files-with-failures -d 'Print only the paths of the failures'
complete -c tarnwick-inspect -l print0 -d 'With -l, end each path in a NUL byte'
complete -c tarnwick-inspect -l stats -d 'Count the failures by test and by rule'
complete -c tarnwick-inspect -l exclude -x -d 'Leave out entries whose name matches a glob'
complete -c tarnwick-inspect -l min-age -x -d 'Skip files modified less than this ago (30s, 5m, 2h)'
complete -c tarnwick-inspect -l max-depth -x -d 'Walk at most N levels below each folder'
complete -c tarnwick-inspect -l min-files -x -d 'Fail when fewer files are judged'
complete -c tarnwick-inspect -l max-pending -x -d 'With --pairs, fail with 5 when a command waits longer'
complete -c tarnwick-inspect -l metrics -r -F -d 'Write the metrics for node_exporter to FILE'
complete -c tarnwick-inspect -l watch -d 'After the audit, judge each file that lands, until stopped'
complete -c tarnwick-inspect -l settle -x -d 'With --watch, judge a file once left alone this long'
complete -c tarnwick-inspect -l poll -x -d 'With --watch, poll every folder at this interval'
complete -c tarnwick-inspect -l pending-after -x -d 'With --watch --pairs, say once of a command that waits longer'
complete -c tarnwick-inspect -l label -x -d 'Add KEY=VALUE to every record and metric'
complete -c tarnwick-inspect -s x -l one-file-system -d 'Do not walk into other file systems'
complete -c tarnwick-inspect -s j -l jobs -x -a '(__tarnwick_inspect_jobs)' -d 'Threads'
complete -c tarnwick-inspect -l io -x -a 'auto threads uring' -d 'How files are read'
complete -c tarnwick-inspect -l files-from -r -F -d 'Take paths from FILE (- is standard input)'
complete -c tarnwick-inspect -s 0 -l null -d 'Paths in FILE end in a NUL byte'
complete -c tarnwick-inspect -l help -d 'Show the options and exit'
complete -c tarnwick-inspect -l version -d 'Show the version and exit'
