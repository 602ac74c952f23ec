# bash completion for tarnwick-inspect                        -*- shell-script -*-
#
# Offers the options, thread counts from 1 to the number of cores after
# -j and --jobs, any file (or - for standard input) after --files-from,
# and folders and files for the paths to judge: the inspector walks
# folders and reports on any file, whatever its name. After --, and
# after --help or --version, the rules are the same as the command's.

_tarnwick_inspect() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} i
  local options_end=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && options_end=1
  done
  COMPREPLY=()
  if ((!options_end)); then
    case $prev in
      -j | --jobs)
        local cores
        cores=$(getconf _NPROCESSORS_ONLN 2>/dev/null || echo 1)
        mapfile -t COMPREPLY < <(compgen -W "$(seq 1 "$cores")" -- "$cur")
        return 0
        ;;
      --io)
        mapfile -t COMPREPLY < <(compgen -W 'auto threads uring' -- "$cur")
        return 0
        ;;
      --exclude | --min-age | --max-depth | --min-files | --max-pending | --label | --settle | --pending-after | --poll)
        return 0
        ;;
      --files-from | --metrics)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        [[ - == "$cur"* ]] && COMPREPLY+=(-)
        return 0
        ;;
    esac
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W '--json -q --quiet --summary -j --jobs --io
        --files-from -0 --null -l --files-with-failures --print0 --stats
        --exclude --min-age --max-depth -x --one-file-system --min-files
        --pairs --max-pending --metrics --label --watch --settle --poll --pending-after --help --version --' -- "$cur")
      return 0
    fi
  fi
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -F _tarnwick_inspect tarnwick-inspect
