#!/usr/bin/env bash
# Transfer archives: export and import of one large item against openssl on the same data,
# in one run, best of three, with the peak memory of each (/usr/bin/time -v):
#   velmora-tool export  vs  openssl enc -bf-ecb      (decrypt from the library, encrypt into the archive)
#   velmora-tool import  vs  openssl enc -d -bf-ecb   (decrypt from the archive, encrypt into the library)
# and the cost of checking the archive when it is opened (an import refused at the password).
# The import reads the archive through velmora-archive-reader, a process of its own; its
# peak memory is measured on its own too. With BASELINE_BUILD_DIR, that build's
# velmora-tool exports the same item and imports the same archive in the same run, for
# before/after ratios.
# An item above 999 MB leaves in pieces (5000 makes one of five pieces and a bit); the
# imported item is compared with the source byte for byte either way. Such a run needs
# about six times the item's size of free disk under TMPDIR.
# Usage: bench/archive-vs-openssl.sh [SIZE_MB] [BUILD_DIR] [BASELINE_BUILD_DIR]
#        (SIZE_MB in 10^6 bytes, default 500)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/side-by-side.sh"
size_mb="${1:-500}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${2:-$root/build}/bin"
work="$(mktemp -d "${TMPDIR:-/var/tmp}/velmora-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
tool="$bin/velmora-tool"
reader="$bin/velmora-archive-reader"
baseline="${3:+$3/bin/velmora-tool}"

export VELMORA_ARCHIVE_PASSWORD="archive benchmark password"
key=$(printf '%s' "$VELMORA_ARCHIVE_PASSWORD" | od -An -tx1 | tr -d ' \n' | cut -c1-32)
openssl_bf=(openssl enc -provider legacy -provider default -bf-ecb -nosalt -K "$key")

head -c $((size_mb * 1000000)) /dev/urandom > "$work/item.mpg"
VELMORA_PASSWORD="library one" "$tool" init --data "$work/from" >/dev/null
VELMORA_PASSWORD="library one" "$tool" add --data "$work/from" "$work/item.mpg" >/dev/null
sync

# Runs "$@" under /usr/bin/time -v; sets $secs (wall clock) and $peak_kib. What earlier
# steps left to write back is written first: the kernel's write-back would otherwise
# take processor time from whichever step happens to run next.
measure() {
  local report="$work/time.txt"
  sync
  /usr/bin/time -v -o "$report" "$@" >/dev/null 2>"$work/stderr.txt" || { cat "$work/stderr.txt" >&2; return 1; }
  secs=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0;
                      for (i = 1; i <= n; i++) s = s * 60 + p[i]; printf "%.3f", s }' "$report")
  peak_kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$report")
}
rate() { awk -v s="$size_mb" -v t="$1" 'BEGIN { printf "%.1f", s / t }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; }  # throughput ratio = time2/time1

# An export of the item by the velmora-tool $1 into the archive $2, and an import of our
# archive by the velmora-tool $1 into a fresh library $2; each sets $secs and $peak_kib.
export_by() {
  rm -f "$2"
  measure env VELMORA_PASSWORD="library one" "$1" export --data "$work/from" --archive "$2" 1
}
import_by() {
  rm -rf "$2"
  VELMORA_PASSWORD="library two" "$tool" init --data "$2" >/dev/null
  measure env VELMORA_PASSWORD="library two" "$1" import --data "$2" --archive "$work/item.eta"
}
export_ours() {
  export_by "$tool" "$work/item.eta"
  t_export=$(least "$t_export" "$secs"); m_export=$(most "$m_export" "$peak_kib")
}
import_ours() {
  import_by "$tool" "$work/to"
  t_import=$(least "$t_import" "$secs"); m_import=$(most "$m_import" "$peak_kib")
}
# The baseline build exports the same item and imports our archive (the format is the same).
export_theirs() {
  export_by "$baseline" "$work/base.eta"
  t_bexport=$(least "$t_bexport" "$secs")
  rm -f "$work/base.eta"
}
import_theirs() {
  import_by "$baseline" "$work/baseline"
  t_baseline=$(least "$t_baseline" "$secs"); m_baseline=$(most "$m_baseline" "$peak_kib")
}
one_round() {
  both export_ours ${baseline:+export_theirs}
  rm -f "$work/item.bf" "$work/back.bf"
  measure "${openssl_bf[@]}" -in "$work/item.mpg" -out "$work/item.bf"
  t_enc=$(least "$t_enc" "$secs"); m_enc=$(most "$m_enc" "$peak_kib")
  both import_ours ${baseline:+import_theirs}
  measure "${openssl_bf[@]}" -d -in "$work/item.bf" -out "$work/back.bf"
  t_dec=$(least "$t_dec" "$secs")
}

# Each program and its reference side by side, and the baseline build's (bench/side-by-side.sh):
# the shortest time of each counts, and the largest peak memory.
t_export=""; t_enc=""; t_import=""; t_dec=""; m_export=""; m_enc=""; m_import=""
t_bexport=""; t_baseline=""; m_baseline=""
in_rounds
# The reader alone: every frame of the archive to /dev/null (its input ends at once).
measure "$reader" "$work/item.eta" </dev/null
t_reader=$secs; m_reader=$peak_kib
# Opening checks the whole archive; a wrong password then ends the import before any item.
start=$(date +%s.%N)
VELMORA_ARCHIVE_PASSWORD="not the password" VELMORA_PASSWORD="library two" \
  "$tool" import --data "$work/to" --archive "$work/item.eta" >/dev/null 2>&1 && { echo "wrong password accepted" >&2; exit 1; }
t_open=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.3f", b - a }')

VELMORA_PASSWORD="library two" "$tool" cat --data "$work/to" 1 | cmp - "$work/item.mpg" \
  || { echo "the imported item differs from the source" >&2; exit 1; }

printf '%-34s %8s %10s %12s\n' "${size_mb} MB item" "seconds" "MB/s" "peak MiB"
printf '%-34s %8.2f %10s %12s\n' "velmora-tool export" "$t_export" "$(rate "$t_export")" "$((m_export / 1024))"
printf '%-34s %8.2f %10s %12s\n' "openssl enc -bf-ecb" "$t_enc" "$(rate "$t_enc")" "$((m_enc / 1024))"
printf '%-34s %8.2f %10s %12s\n' "velmora-tool import" "$t_import" "$(rate "$t_import")" "$((m_import / 1024))"
printf '%-34s %8.2f %10s\n' "openssl enc -d -bf-ecb" "$t_dec" "$(rate "$t_dec")"
printf '%-34s %8.2f %10s %12s\n' "velmora-archive-reader alone" "$t_reader" "$(rate "$t_reader")" "$((m_reader / 1024))"
[ -z "$baseline" ] || printf '%-34s %8.2f %10s\n' "baseline velmora-tool export" "$t_bexport" "$(rate "$t_bexport")"
[ -z "$baseline" ] || printf '%-34s %8.2f %10s %12s\n' "baseline velmora-tool import" "$t_baseline" "$(rate "$t_baseline")" "$((m_baseline / 1024))"
printf '%-34s %8.2f\n' "open + check only (wrong password)" "$t_open"
echo "export / openssl enc:     $(ratio "$t_export" "$t_enc")   (goal >= 1.2)"
echo "import / openssl enc -d:  $(ratio "$t_import" "$t_dec")   (goal >= 1.2)"
echo "archive check / import:   $(awk -v a="$t_open" -v b="$t_import" 'BEGIN { printf "%.2f", a / b }')"
[ -z "$baseline" ] || echo "export / baseline export: $(ratio "$t_export" "$t_bexport")"
[ -z "$baseline" ] || echo "import / baseline import: $(ratio "$t_import" "$t_baseline")"
echo "peak memory: export $((m_export / 1024)) MiB, import $((m_import / 1024)) MiB, reader $((m_reader / 1024)) MiB   (goal < 64 MiB each)"
[ "$m_export" -lt $((64 * 1024)) ] && [ "$m_import" -lt $((64 * 1024)) ] && [ "$m_reader" -lt $((64 * 1024)) ] \
  || { echo "peak memory goal missed" >&2; exit 1; }
