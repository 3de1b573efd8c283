#!/usr/bin/env bash
# Cipher throughput against the reference: velmora-tool encrypt and decrypt versus
# openssl's Blowfish in ECB mode without padding, on the same file in the same run,
# best of three each. Usage: bench/cipher-vs-openssl.sh [SIZE_MIB] [BUILD_DIR]
set -euo pipefail
size_mib="${1:-256}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tool="${2:-${VELMORA_BUILD_DIR:-$root/build}}/bin/velmora-tool"
[ -x "$tool" ] || { echo "no velmora-tool at $tool (build first)" >&2; exit 1; }
work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-cipher-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT

key="benchmark password"
hexkey=$(printf '%s' "$key" | od -An -tx1 | tr -d ' \n' | cut -c1-32)
openssl_bf=(openssl enc -provider legacy -provider default -bf-ecb -nopad -nosalt -K "$hexkey")
"${openssl_bf[@]}" </dev/null >/dev/null 2>&1 || { echo "openssl has no Blowfish (legacy provider)" >&2; exit 1; }

head -c $((size_mib << 20)) /dev/urandom > "$work/plain"
"$tool" encrypt "$key" < "$work/plain" > "$work/ours.enc"
"${openssl_bf[@]}" < "$work/plain" > "$work/openssl.enc"
# Both read a file and write to /dev/null: the figures are the ciphers', not the disk's.
best_of_3() { # prints the shortest wall time of three runs of "$@" < $input
  local input="$1"; shift
  local best="" start end t
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" < "$input" > /dev/null
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
    best=$(awk -v t="$t" -v b="$best" 'BEGIN { print (b == "" || t < b) ? t : b }')
  done
  echo "$best"
}
rate() { awk -v s="$size_mib" -v t="$1" 'BEGIN { printf "%.1f", s * 1.048576 / t }'; }

t_enc=$(best_of_3 "$work/plain" "$tool" encrypt "$key")
t_ssl=$(best_of_3 "$work/plain" "${openssl_bf[@]}")
t_dec=$(best_of_3 "$work/ours.enc" "$tool" decrypt "$key")
t_ssld=$(best_of_3 "$work/openssl.enc" "${openssl_bf[@]}" -d)
"$tool" decrypt "$key" < "$work/ours.enc" | cmp -s - "$work/plain" || { echo "round trip differs" >&2; exit 1; }

printf '%-34s %8s %10s\n' "${size_mib} MiB, best of 3" "seconds" "MB/s"
printf '%-34s %8.3f %10s\n' "velmora-tool encrypt" "$t_enc" "$(rate "$t_enc")"
printf '%-34s %8.3f %10s\n' "openssl enc -bf-ecb -nopad" "$t_ssl" "$(rate "$t_ssl")"
printf '%-34s %8.3f %10s\n' "velmora-tool decrypt" "$t_dec" "$(rate "$t_dec")"
printf '%-34s %8.3f %10s\n' "openssl enc -d -bf-ecb -nopad" "$t_ssld" "$(rate "$t_ssld")"
awk -v a="$t_enc" -v b="$t_ssl" 'BEGIN { printf "encrypt ratio ours/openssl (throughput): %.2f\n", b / a }'
awk -v a="$t_dec" -v b="$t_ssld" 'BEGIN { printf "decrypt ratio ours/openssl (throughput): %.2f\n", b / a }'
