#!/usr/bin/env bash
# Import and read-back throughput of a large item against the reference tools, in one run,
# best of three:
#   velmora-tool add   vs  openssl enc -bf-ecb  vs  cp      (writing the encrypted copy)
#   velmora-tool cat   vs  openssl enc -d       vs  cp      (reading it back)
#   velmora-tool passwd  vs  openssl enc -d | openssl enc   (re-encrypting it under a new key)
# and the peak memory of add and cat. With BASELINE_BUILD_DIR, that build's velmora-tool adds and
# reads back the same file in the same run, for a before/after ratio.
# Usage: bench/import-vs-openssl.sh [SIZE_MIB] [BUILD_DIR] [BASELINE_BUILD_DIR]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/side-by-side.sh"
size_mib="${1:-1024}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${2:-$root/build}/bin"
baseline="${3:+$3/bin/velmora-tool}"
work="$(mktemp -d "${TMPDIR:-/var/tmp}/velmora-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT

export VELMORA_PASSWORD="benchmark password"
key=$(printf '%s' "$VELMORA_PASSWORD" | od -An -tx1 | tr -d ' \n' | cut -c1-32)
openssl_bf=(openssl enc -provider legacy -provider default -bf-ecb -nosalt -K "$key")
new_key=$(printf 'new %s' "$VELMORA_PASSWORD" | od -An -tx1 | tr -d ' \n' | cut -c1-32)

head -c $((size_mib << 20)) /dev/urandom > "$work/source.mpg"
sync

seconds() { # runs "$@" after writing back what earlier steps left, prints the elapsed wall time
  local start end
  sync
  start=$(date +%s.%N)
  "$@" >/dev/null || return
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
rate() { awk -v s="$size_mib" -v t="$1" 'BEGIN { printf "%.1f", s * 1.048576 / t }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; }  # throughput ratio = time2/time1

peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

# An add of the source by the velmora-tool $1 into a fresh library $2, and the read-back of
# it into a file that is checked and then removed; each sets $secs. Not called inside
# $( ): a read-back that differs must end the script.
add_by() {
  rm -rf "$2"
  "$1" init --data "$2" >/dev/null
  secs=$(seconds "$1" add --data "$2" "$work/source.mpg")
}
cat_by() {
  secs=$(seconds sh -c "'$1' cat --data '$2' 1 > '$work/back.mpg'")
  cmp "$work/source.mpg" "$work/back.mpg" || { echo "read-back differs from the source" >&2; exit 1; }
  rm -f "$work/back.mpg"
}
# A password change of the library $2 by the velmora-tool $1 (after add_by); sets $secs and
# checks that the new password opens it.
passwd_by() {
  secs=$(seconds env VELMORA_NEW_PASSWORD="new $VELMORA_PASSWORD" "$1" passwd --data "$2")
  VELMORA_PASSWORD="new $VELMORA_PASSWORD" "$1" ls --data "$2" >/dev/null \
    || { echo "the new password does not open the library" >&2; exit 1; }
}
reencrypt_by_openssl() {
  "${openssl_bf[@]}" -d -in "$work/source.bf" | "${openssl_bf[@]}" -K "$new_key" -out "$work/rekeyed.bf"
}
add_ours() { add_by "$bin/velmora-tool" "$work/lib"; t_add=$(least "$t_add" "$secs"); }
cat_ours() { cat_by "$bin/velmora-tool" "$work/lib"; t_cat=$(least "$t_cat" "$secs"); }
passwd_ours() { passwd_by "$bin/velmora-tool" "$work/lib"; t_passwd=$(least "$t_passwd" "$secs"); }
passwd_theirs() { passwd_by "$baseline" "$work/base"; t_bpasswd=$(least "$t_bpasswd" "$secs"); }
add_theirs() { add_by "$baseline" "$work/base"; t_badd=$(least "$t_badd" "$secs"); }
cat_theirs() { cat_by "$baseline" "$work/base"; t_bcat=$(least "$t_bcat" "$secs"); }
# Times the command after $1 and keeps the shortest time so far in the variable named $1.
timed() {
  local name="$1"
  shift
  secs=$(seconds "$@")
  printf -v "$name" '%s' "$(least "${!name}" "$secs")"
}
one_round() {
  both add_ours ${baseline:+add_theirs}
  timed t_enc "${openssl_bf[@]}" -in "$work/source.mpg" -out "$work/source.bf"
  timed t_cp cp "$work/source.mpg" "$work/copy.mpg"
  both cat_ours ${baseline:+cat_theirs}
  timed t_dec "${openssl_bf[@]}" -d -in "$work/source.bf" -out "$work/back.bf"
  timed t_cpb cp "$work/copy.mpg" "$work/copy2.mpg"
  both passwd_ours ${baseline:+passwd_theirs}
  timed t_rekey reencrypt_by_openssl
  rm -f "$work/copy.mpg" "$work/copy2.mpg" "$work/back.bf" "$work/source.bf" "$work/rekeyed.bf"
}

# Every program side by side with its references and the baseline build's (bench/side-by-side.sh):
# the shortest time of each counts. A sync before each step keeps the kernel's write-back
# of one step out of the next one's time.
t_add=""; t_enc=""; t_cp=""; t_cat=""; t_dec=""; t_cpb=""; t_badd=""; t_bcat=""
t_passwd=""; t_bpasswd=""; t_rekey=""
in_rounds
rm -rf "$work/lib" "$work/base"

"$bin/velmora-tool" init --data "$work/lib2" >/dev/null
mem_add=$(peak_kib "$bin/velmora-tool" add --data "$work/lib2" "$work/source.mpg")
mem_cat=$(peak_kib "$bin/velmora-tool" cat --data "$work/lib2" 1)

printf '%-28s %8s %10s\n' "${size_mib} MiB item" "seconds" "MB/s"
printf '%-28s %8.2f %10s\n' "velmora-tool add" "$t_add" "$(rate "$t_add")"
printf '%-28s %8.2f %10s\n' "openssl enc -bf-ecb" "$t_enc" "$(rate "$t_enc")"
printf '%-28s %8.2f %10s\n' "cp" "$t_cp" "$(rate "$t_cp")"
printf '%-28s %8.2f %10s\n' "velmora-tool cat" "$t_cat" "$(rate "$t_cat")"
printf '%-28s %8.2f %10s\n' "openssl enc -d -bf-ecb" "$t_dec" "$(rate "$t_dec")"
printf '%-28s %8.2f %10s\n' "cp (read back)" "$t_cpb" "$(rate "$t_cpb")"
printf '%-28s %8.2f %10s\n' "velmora-tool passwd" "$t_passwd" "$(rate "$t_passwd")"
printf '%-28s %8.2f %10s\n' "openssl enc -d | openssl enc" "$t_rekey" "$(rate "$t_rekey")"
if [ -n "$baseline" ]; then
  printf '%-28s %8.2f %10s\n' "baseline velmora-tool add" "$t_badd" "$(rate "$t_badd")"
  printf '%-28s %8.2f %10s\n' "baseline velmora-tool cat" "$t_bcat" "$(rate "$t_bcat")"
  printf '%-28s %8.2f %10s\n' "baseline velmora-tool passwd" "$t_bpasswd" "$(rate "$t_bpasswd")"
fi
echo "add / openssl enc:      $(ratio "$t_add" "$t_enc")   (goal >= 1.5)"
echo "add / cp:               $(ratio "$t_add" "$t_cp")"
echo "cat / openssl enc -d:   $(ratio "$t_cat" "$t_dec")   (goal >= 2.5)"
echo "cat / cp:               $(ratio "$t_cat" "$t_cpb")"
echo "passwd / openssl re-encryption: $(ratio "$t_passwd" "$t_rekey")"
if [ -n "$baseline" ]; then
  echo "add / baseline add:     $(ratio "$t_add" "$t_badd")"
  echo "cat / baseline cat:     $(ratio "$t_cat" "$t_bcat")"
  echo "passwd / baseline passwd: $(ratio "$t_passwd" "$t_bpasswd")"
fi
echo "peak memory: add $((mem_add / 1024)) MiB, cat $((mem_cat / 1024)) MiB   (goal < 64 MiB each)"
