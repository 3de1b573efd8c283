#!/usr/bin/env bash
# Every long transfer against openssl's Blowfish in one run: the cipher alone, add, cat and
# password change of a large item (and add against cp, the distance to the disk), and the export and
# import of a transfer archive; then one table of the ratios (throughput, ours over the
# reference's) with their goals. The machine's load is printed before each part: on
# shared cores the figures move with it. With BASELINE_BUILD_DIR, that build runs the
# same work in the same run for before/after ratios.
# Usage: bench/throughput-vs-openssl.sh [BUILD_DIR] [BASELINE_BUILD_DIR]
#        (sizes: CIPHER_MIB=256 ADD_MIB=1024 ARCHIVE_MB=500 in the environment)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
baseline="${2:-}"
out="$(mktemp "${TMPDIR:-/tmp}/velmora-throughput-XXXXXX")"
trap 'rm -f "$out"' EXIT

part() { # title, script, arguments...
  local title="$1"; shift
  echo "== $title ($(uptime | sed 's/.*load/load/'))"
  "$@" | tee -a "$out"
}
part "cipher" "$root/bench/cipher-vs-openssl.sh" "${CIPHER_MIB:-256}" "$build"
part "add and cat" "$root/bench/import-vs-openssl.sh" "${ADD_MIB:-1024}" "$build" $baseline
part "archives" "$root/bench/archive-vs-openssl.sh" "${ARCHIVE_MB:-500}" "$build" $baseline

value() { awk -v key="$1" 'index($0, key) == 1 { sub(/^[^:]*:[ \t]*/, ""); print $1; exit }' "$out"; }
echo "== ratios (throughput, ours / reference)"
printf '%-36s %8s %8s\n' "work" "ratio" "goal"
printf '%-36s %8s %8s\n' "cipher alone, encrypt / openssl" "$(value "encrypt ratio ours/openssl")" ">= 2"
printf '%-36s %8s %8s\n' "cipher alone, decrypt / openssl -d" "$(value "decrypt ratio ours/openssl")" ">= 2"
printf '%-36s %8s %8s\n' "add / openssl enc" "$(value "add / openssl enc")" ">= 1.5"
printf '%-36s %8s %8s\n' "add / cp" "$(value "add / cp")" "-"
printf '%-36s %8s %8s\n' "cat / openssl enc -d" "$(value "cat / openssl enc -d")" ">= 2.5"
printf '%-36s %8s %8s\n' "passwd / openssl enc -d | enc" "$(value "passwd / openssl re-encryption")" "-"
printf '%-36s %8s %8s\n' "archive export / openssl enc" "$(value "export / openssl enc")" ">= 1.2"
printf '%-36s %8s %8s\n' "archive import / openssl enc -d" "$(value "import / openssl enc -d")" ">= 1.2"
if [ -n "$baseline" ]; then
  printf '%-36s %8s\n' "add / baseline add" "$(value "add / baseline add")"
  printf '%-36s %8s\n' "cat / baseline cat" "$(value "cat / baseline cat")"
  printf '%-36s %8s\n' "passwd / baseline passwd" "$(value "passwd / baseline passwd")"
  printf '%-36s %8s\n' "export / baseline export" "$(value "export / baseline export")"
  printf '%-36s %8s\n' "import / baseline import" "$(value "import / baseline import")"
fi
