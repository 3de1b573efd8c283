#!/usr/bin/env bash
# The bash completion of velmora-tool against the tool's own --help, so neither drifts
# from the other: `completion-test.sh COMPLETION VELMORA-TOOL`.
set -euo pipefail
completion="$1"
tool="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# shellcheck source=/dev/null
source "$completion"
[ "$(complete -p velmora-tool)" = "complete -F _velmora_tool velmora-tool" ] || fail "velmora-tool has no completion"

# The words offered for the command line typed so far ($1 ...), the last being completed.
offered() {
  COMP_WORDS=(velmora-tool "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _velmora_tool
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' '
}

help="$("$tool" --help)"
commands="$(sed -n '/^commands:/,/^$/s/^  \([a-z0-9-]*\) .*/\1/p' <<<"$help")"
[ -n "$commands" ] || fail "no commands read from velmora-tool --help"
[ "$(offered '')" = "$(printf '%s\n' $commands --help --version | sort | tr '\n' ' ')" ] \
  || fail "the commands offered are not those of --help: $(offered '')"
[ "$(offered 'ex')" = "export " ] || fail "'ex' completes to: $(offered ex)"

# Each command's options, as its usage line names them; each offered once.
while read -r command usage; do
  options="$( (grep -oE -- '--[a-z]+' <<<"$usage" || true) | sort -u | tr '\n' ' ')"
  [ "$(offered "$command" '-')" = "$options" ] || fail "$command offers $(offered "$command" -) instead of $options"
done < <(sed -n '/^commands:/,/^$/s/^  \([a-z0-9-]*\) /\1 /p' <<<"$help")
[ "$(offered import --data lib '--')" = "--archive --category " ] || fail "a given option is offered again"

# What the options take: folders for --data, transfer archives (and folders to walk
# into) for an import's --archive, any file for add.
mkdir -p "$scratch/My Library" "$scratch/sub"
touch "$scratch/photo.jpg" "$scratch/gift.eta" "$scratch/OLD.ETA"
cd "$scratch"
[ "$(offered init --data '')" = "My Library sub " ] || fail "--data offers: $(offered init --data '')"
[ "$(offered import --data lib --archive '')" = "My Library OLD.ETA gift.eta sub " ] \
  || fail "an import's --archive offers: $(offered import --data lib --archive '')"
[ "$(offered add --data lib 'p')" = "photo.jpg " ] || fail "add offers: $(offered add --data lib p)"
[ "$(offered encrypt '')" = "" ] || fail "encrypt offers: $(offered encrypt '')"
echo "completion: ok"
