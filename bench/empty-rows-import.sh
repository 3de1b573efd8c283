#!/usr/bin/env bash
# The cost of an import per item: an archive of ROWS empty items (made by copying one
# exported row, bench/ArchiveRows.cpp) imported into a fresh library, items per second.
# With BASELINE_BUILD_DIR, that build imports the same archive in the same run, and the
# ratio of the two rates is printed.
# Usage: bench/empty-rows-import.sh [ROWS] [BUILD_DIR] [BASELINE_BUILD_DIR]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/side-by-side.sh"
rows="${1:-20000}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${2:-$root/build}/bin"
baseline="${3:+$3/bin/velmora-tool}"
work="$(mktemp -d "${TMPDIR:-/var/tmp}/velmora-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
tool="$bin/velmora-tool"

export VELMORA_ARCHIVE_PASSWORD="archive benchmark password"
: > "$work/empty.jpg"
VELMORA_PASSWORD="library one" "$tool" init --data "$work/from" >/dev/null
VELMORA_PASSWORD="library one" "$tool" add --data "$work/from" "$work/empty.jpg" >/dev/null
VELMORA_PASSWORD="library one" "$tool" export --data "$work/from" --archive "$work/rows.eta" 1 >/dev/null
"$bin/archive_rows" "$work/rows.eta" "$rows"

# An import of the archive by the velmora-tool $1 into a fresh library $2; sets $secs and
# checks that every row became an item.
import_by() {
  rm -rf "$2"
  VELMORA_PASSWORD="library two" "$tool" init --data "$2" >/dev/null
  sync
  local start end
  start=$(date +%s.%N)
  VELMORA_PASSWORD="library two" "$1" import --data "$2" --archive "$work/rows.eta" >/dev/null 2>"$work/stderr.txt" \
    || { tail -5 "$work/stderr.txt" >&2; exit 1; }
  end=$(date +%s.%N)
  secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  local items
  items=$(VELMORA_PASSWORD="library two" "$tool" ls --data "$2" | wc -l)
  [ "$items" -eq "$rows" ] || { echo "$1 imported $items of $rows rows" >&2; exit 1; }
  rm -rf "$2"
}
import_ours() { import_by "$tool" "$work/to"; t_ours=$(least "$t_ours" "$secs"); }
import_theirs() { import_by "$baseline" "$work/base"; t_base=$(least "$t_base" "$secs"); }
one_round() { both import_ours ${baseline:+import_theirs}; }

t_ours=""; t_base=""
ROUNDS="${ROUNDS:-1}" in_rounds
per_second() { awk -v n="$rows" -v t="$1" 'BEGIN { printf "%.0f", n / t }'; }
printf '%-34s %8s %10s\n' "${rows} empty rows" "seconds" "items/s"
printf '%-34s %8.2f %10s\n' "velmora-tool import" "$t_ours" "$(per_second "$t_ours")"
if [ -n "$baseline" ]; then
  printf '%-34s %8.2f %10s\n' "baseline velmora-tool import" "$t_base" "$(per_second "$t_base")"
  echo "empty-rows import / baseline: $(awk -v a="$t_ours" -v b="$t_base" 'BEGIN { printf "%.2f", b / a }')"
fi
