# bash completion for tarnwick                                -*- shell-script -*-
#
# Offers -q before the first file, then directories and only the files whose
# path the tool accepts: <dir>in/<stem>.ok or .fail, <dir>out/<stem>.cmd,
# where the stem is five digits, a digit or an ASCII letter, and either
# nothing or three more digits. Nothing is offered after the second file,
# since the tool ignores what follows it.

_tarnwick() {
  local cur=${COMP_WORDS[COMP_CWORD]} files=0 i
  for ((i = 1; i < COMP_CWORD; i++)); do
    if ((files > 0)) || [[ ${COMP_WORDS[i]} != -* ]]; then
      ((files++))
    fi
  done
  COMPREPLY=()
  ((files < 2)) || return 0
  if ((files == 0)) && [[ $cur == -* ]]; then
    COMPREPLY=(-q)
    return 0
  fi

  # Explicit lists, not ranges: a range such as [A-Z] follows the locale.
  local d='[0123456789]'
  local x='[0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz]'
  local stem="$d$d$d$d$d$x($d$d$d)?"
  local accepted="(^|.*)(in/$stem\.(ok|fail)|out/$stem\.cmd)$"
  local path
  compopt -o filenames 2>/dev/null
  while IFS= read -r path; do
    if [[ -d $path || $path =~ $accepted ]]; then
      COMPREPLY+=("$path")
    fi
  done < <(compgen -f -- "$cur")
}
complete -F _tarnwick tarnwick
