# Bash completion for qorvcfg: commands, options, files, and item paths
# (asked of "qorvcfg items DEF --paths") after DEF and DATA.
# Source it, or install it as /usr/share/bash-completion/completions/qorvcfg.

_qorvcfg() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="items show get set add del check --help --version"

  if ((COMP_CWORD == 1)); then
    mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
    return
  fi

  local command=${COMP_WORDS[1]} options=""
  case $command in
    items) options="--json --paths --help" ;;
    show | get | check) options="--json --help" ;;
    set | add | del) options="-o --force --help" ;;
    *) return ;;
  esac

  if [[ $prev == -o || $prev == --output ]]; then
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi

  # The position among the words that are not options (or an option's file).
  local i position=0 definition=""
  for ((i = 2; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      -o | --output) ((i++)) ;;
      -*) ;;
      *)
        ((position == 0)) && definition=${COMP_WORDS[i]}
        ((position++))
        ;;
    esac
  done

  if ((position < 2)) || [[ $command == items || $command == show || $command == check ]]; then
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return
  fi
  [[ -r $definition ]] || return
  local paths
  paths=$("${COMP_WORDS[0]}" items "$definition" --paths 2>/dev/null) || return
  mapfile -t COMPREPLY < <(compgen -W "$paths" -- "$cur")
  # A path that takes a value continues with "=", not a space.
  if [[ $command != get ]] && ((${#COMPREPLY[@]} == 1)); then
    COMPREPLY[0]+="="
    compopt -o nospace 2>/dev/null
  fi
}

complete -o default -F _qorvcfg qorvcfg
