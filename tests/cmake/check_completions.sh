#!/bin/bash
# The bash completion of every program, loaded as bash-completion loads it: an option of each
# program, a back end and an export format complete from the program's own answers.
# Usage: check_completions.sh COMPLETION_FILE [PROGRAM_DIR...]  (folders put before PATH)
set -u
file=$1
shift
for dir in "$@"; do PATH=$dir:$PATH; done
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1090
[ -z "$file" ] || source "$file"
status=0
# Completes LINE (its last word is the one being completed) and checks that WANTED is offered.
expect() {
  local wanted=$1 line=$2
  read -r -a COMP_WORDS <<<"$line"
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  local program=${COMP_WORDS[0]} registration
  # bash-completion's loader finds the file by the program's name on first use.
  registration=$(complete -p "$program" 2>/dev/null) || { __load_completion "$program"; registration=$(complete -p "$program" 2>/dev/null); } ||
    { echo "FAIL: no completion for $program"; status=1; return; }
  local function=${registration#*-F }
  function=${function%% *}
  "$function" "$program" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  if printf '%s\n' "${COMPREPLY[@]}" | grep -qx -- "$wanted"; then
    echo "ok: '$line' offers $wanted"
  else
    echo "FAIL: '$line' offers '${COMPREPLY[*]}', not $wanted"
    status=1
  fi
}
expect --reduce-flashes "quorvel4-demo --reduce"
expect --edit "quorvel4-demo --ed"
expect --reduce-flashes "quorvel4-capture --red"
expect --ascii "quorvel4-view --as"
expect --window "quorvel4-testcard --win"
expect headless "quorvel4-demo --backend he"
expect gif "quorvel4-capture --format g"
expect flashes "quorvel4-capture --format fl"
expect --rows-per-beat "quorvel4-tracker --rows"
expect 127.0.0.1:1338 "quorvel4-tracker --listen 127"
exit $status
