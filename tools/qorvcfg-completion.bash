# Bash completion for qorvcfg: commands, options, files, item paths (asked
# of "qorvcfg items DEF --paths"), structure values picked by identifier
# (read from the data file with "qorvcfg list DEF DATA"), and after "=" the
# words an item takes ("qorvcfg items DEF --words PATH").
# Installed as share/bash-completion/completions/qorvcfg.

_qorvcfg() {
  local line=${COMP_LINE:0:COMP_POINT}
  local cur=${line##*[[:space:]]}
  local commands="items doc show list get set add del check help --help --version"

  if ((COMP_CWORD == 1)); then
    mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
    return
  fi

  local command=${COMP_WORDS[1]} options=""
  case $command in
    items) options="--json --paths --words --help" ;;
    doc) options="--help" ;;
    show) options="--json --effective --order --help" ;;
    list) options="--order --help" ;;
    get) options="--json --no-default --help" ;;
    check) options="--strict --json --help" ;;
    set | add | del) options="-o --output --force --dry-run --help" ;;
    help)
      mapfile -t COMPREPLY < <(compgen -W "items doc show list get set add del check" -- "$cur")
      return
      ;;
    *) return ;;
  esac

  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  case $prev in
    -o | --output)
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
      ;;
    --order)
      mapfile -t COMPREPLY < <(compgen -W "file library" -- "$cur")
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi

  # The operands before this word; options and their values are skipped.
  local i position=0 definition="" data="" ended=""
  for ((i = 2; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      -- ) ended=1 ;;
      -o | --output | --order | --words) [[ -z $ended ]] && ((i++)) ;;
      -?*) [[ -n $ended ]] && ((position++)) ;;
      *)
        ((position == 0)) && definition=${COMP_WORDS[i]}
        ((position == 1)) && data=${COMP_WORDS[i]}
        ((position++))
        ;;
    esac
  done

  case $command in
    items | doc | show | list | check) ;;
    *) ((position >= 2)) && { _qorvcfg_path "$definition" "$data" "$cur"; return; } ;;
  esac
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}

# Completes an item path, a pick or, after "=", a value word.
_qorvcfg_path() {
  local definition=$1 data=$2 cur=$3 tool=${COMP_WORDS[0]}
  [[ -r $definition ]] || return
  if [[ $cur == *=* ]]; then
    local path=${cur%%=*} words
    path=$(sed 's/\[[^]]*\]//g' <<<"$path")
    words=$("$tool" items "$definition" --words "$path" 2>/dev/null) || return
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "${cur#*=}")
    return
  fi
  local paths picked="" candidates
  paths=$("$tool" items "$definition" --paths 2>/dev/null) || return
  if [[ -r $data ]]; then
    # Every structure value as NAME[ID], with the paths of its item below it.
    local prefix
    while read -r prefix; do
      local bare
      bare=$(sed 's/\[[^]]*\]//g' <<<"$prefix")
      picked+=" $prefix"
      while read -r path; do
        [[ $path == "$bare"/* ]] && picked+=" $prefix/${path#"$bare"/}"
      done <<<"$paths"
    done < <("$tool" list "$definition" "$data" 2>/dev/null | cut -d= -f1 | grep -o '^.*\]' | sort -u)
  fi
  candidates="$paths $picked"
  mapfile -t COMPREPLY < <(compgen -W "$candidates" -- "$cur")
  # A path that takes a value continues with "=", not a space.
  if [[ ${COMP_WORDS[1]} != get ]] && ((${#COMPREPLY[@]} == 1)); then
    COMPREPLY[0]+="="
    compopt -o nospace 2>/dev/null
  fi
}

complete -o default -F _qorvcfg qorvcfg
