#!/usr/bin/env bash
# What an installation puts where: `install-test.sh install BUILD` installs the build
# into a scratch prefix; `install-test.sh package BUILD` makes the Debian package from
# it and unpacks it into a scratch root. Both check the files, validate the launcher
# and the AppStream file, and run the installed programs.
set -euo pipefail
mode="$1"
build="$(cd "$2" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

case "$mode" in
  install)
    cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
    prefix="$scratch/prefix"
    ;;
  package)
    # Kept in the build folder for install_package_root, which installs it.
    rm -rf "$build/package-test"
    cpack --config "$build/CPackConfig.cmake" -B "$build/package-test" >/dev/null
    debs=("$build"/package-test/velmora_*.deb)
    [ -f "${debs[0]}" ] || fail "no package was made"
    deb="${debs[0]}"
    [ "$(dpkg-deb -f "$deb" Package)" = velmora ] || fail "package name"
    version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
    # What the programs link, and what they load or run at run time: the GStreamer
    # plugins (-ugly: ASF, WMV, WMA), the image plugins and libheif, gdbus for the helper.
    depends="$(dpkg-deb -f "$deb" Depends)"
    for needed in libqt6widgets6 libsqlcipher0 gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
                  gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-pulseaudio \
                  qt6-image-formats-plugins libheif1 fonts-urw-base35 libglib2.0-bin; do
      [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "the package does not depend on $needed: $depends"
    done
    # The package as dpkg-deb lists it: path and mode of what the checks below need.
    listing="$(dpkg-deb -c "$deb" | awk '{ print $1, $6 }')"
    for entry in "-rw-r--r-- ./usr/share/dbus-1/services/Tarnel.tnApp.service" \
                 "-rw-r--r-- ./usr/share/doc/velmora/copyright" \
                 "-rw-r--r-- ./usr/share/doc/velmora/changelog.gz" \
                 "-rw-r--r-- ./usr/share/man/man1/velmora.1.gz" \
                 "-rw-r--r-- ./usr/share/man/man1/velmora-tool.1.gz" \
                 "-rw-r--r-- ./usr/share/man/man1/velmora-add-files.1.gz" \
                 "-rw-r--r-- ./usr/share/bash-completion/completions/velmora-tool" \
                 "-rw-r--r-- ./usr/share/kio/servicemenus/velmora-add-files.desktop" \
                 "-rw-r--r-- ./usr/share/kservices5/ServiceMenus/velmora-add-files.desktop" \
                 "-rwxr-xr-x ./usr/bin/velmora-add-files"; do
      grep -qxF -- "$entry" <<<"$listing" || fail "dpkg-deb -c lists no $entry"
    done
    command -v lintian >/dev/null || fail "lintian is missing: scripts/install-deps"
    # Debian's checks: no error, and no warning but those lintian-expected.txt explains.
    lintian_out="$(lintian --no-cfg --display-level '>=warning' --tag-display-limit 0 "$deb" 2>&1)" \
      || [ -n "$lintian_out" ] || fail "lintian did not run"
    expected_tags="$(sed -n 's/^\([a-z0-9][a-z0-9+.-]*\).*/\1/p' "$(dirname "$0")/lintian-expected.txt")"
    while read -r severity _ tag _; do
      case "$severity" in
        E:) fail "lintian error: $tag" ;;
        W:) grep -qxF -- "$tag" <<<"$expected_tags" || fail "lintian warning: $tag" ;;
      esac
    done <<<"$lintian_out"
    dpkg -x "$deb" "$scratch/root"
    prefix="$scratch/root/usr"
    ;;
  *) fail "usage: install-test.sh install|package BUILD" ;;
esac

expected=(
  bin/velmora bin/velmora-tool
  lib/velmora/velmora lib/velmora/velmora-tool lib/velmora/velmora-archive-reader
  lib/velmora/tntempl.mdb lib/velmora/template.tnt lib/velmora/shipped/tndb.mdb
  share/applications/velmora.desktop
  share/mime/packages/velmora-archive.xml
  share/metainfo/org.example.velmora.Velmora.metainfo.xml
  share/icons/hicolor/scalable/apps/velmora.svg
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/velmora.png")
done
for file in "${expected[@]}"; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
# A user's library is never installed, only the pristine one.
[ ! -e "$prefix/lib/velmora/tndb.mdb" ] || fail "a library was installed into the program folder"
# The commands on the path are the programs in the program folder.
[ "$(readlink -f "$prefix/bin/velmora")" = "$(readlink -f "$prefix/lib/velmora/velmora")" ] || fail "bin/velmora"
for size in 16 48 256; do
  identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x${size}/apps/velmora.png" | grep -qx "${size}x${size}" \
    || fail "the ${size}x${size} icon is not ${size} pixels square"
done
# The file managers' "Add To Velmora" entry: the helper on the path, the GNOME Files
# script kept for each user to link, Dolphin's service menu in both folders Dolphin reads
# (only a user's own service menu has to be executable).
for file in bin/velmora-add-files "share/velmora/nautilus-scripts/Add To Velmora"; do
  [ -x "$prefix/$file" ] || fail "$file is not installed as a program"
done
for file in share/kio/servicemenus/velmora-add-files.desktop share/kservices5/ServiceMenus/velmora-add-files.desktop; do
  [ "$(stat -c %a "$prefix/$file")" = 644 ] || fail "$file is not installed 0644"
done
# The bus starts the installed program for the entry before anyone has started it.
installed_program="${prefix#"$scratch/root"}/lib/velmora/velmora"
[ "$(cat "$prefix/share/dbus-1/services/Tarnel.tnApp.service")" = "[D-BUS Service]
Name=Tarnel.tnApp
Exec=$installed_program -embedding" ] || fail "the activation file does not start $installed_program"
# The documentation Debian asks for, and bash completion for velmora-tool.
for file in share/doc/velmora/copyright share/doc/velmora/changelog.gz share/bash-completion/completions/velmora-tool \
            share/man/man1/velmora.1.gz share/man/man1/velmora-tool.1.gz share/man/man1/velmora-add-files.1.gz; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
# The manual pages are the programs' --help: every option the help names is in the page.
for program in velmora velmora-tool velmora-add-files; do
  page="$(zcat "$prefix/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')"
  for option in $("$prefix/bin/$program" --help | grep -oE -- '(^|[ [])--?[a-z][a-z-]*' | tr -d ' [' | sort -u); do
    [[ "$page" == *"$option"* ]] || fail "the manual page of $program does not tell $option"
  done
done
# The release date is the changelog's, not the build day's, so every build of this
# version writes the same metainfo.
release_date="$(zcat "$prefix/share/doc/velmora/changelog.gz" | dpkg-parsechangelog -l - -S Timestamp)"
release_date="$(date -u -d "@$release_date" +%F)"
grep -q "date=\"$release_date\"" "$prefix/share/metainfo/org.example.velmora.Velmora.metainfo.xml" \
  || fail "the metainfo's release date is not the changelog's $release_date"
# The distribution's hardening in every program: stack protector, fortified calls, full
# RELRO with BIND_NOW. The build leaves fortification out where it cannot work.
fortified=yes
grep -qx 'VELMORA_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" && fortified="no: the sanitizers check those calls"
grep -qx 'CMAKE_BUILD_TYPE:STRING=Debug' "$build/CMakeCache.txt" && fortified="no: a Debug build is not optimised"
[ "$fortified" = yes ] || echo "fortified calls not checked, $fortified"
for program in velmora velmora-tool velmora-archive-reader; do
  elf="$prefix/lib/velmora/$program"
  # Whole listings read (grep -q would end readelf early, a failure under pipefail).
  segments="$(readelf -lW "$elf")"
  dynamic="$(readelf -dW "$elf")"
  symbols="$(readelf --dyn-syms -W "$elf")"
  grep -q GNU_RELRO <<<"$segments" || fail "$program has no RELRO segment"
  grep -qE '\(FLAGS\).*BIND_NOW|\(BIND_NOW\)' <<<"$dynamic" || fail "$program is not linked with BIND_NOW"
  grep -q ' __stack_chk_fail' <<<"$symbols" || fail "$program is not built with the stack protector"
  [ "$fortified" != yes ] || grep -qE ' __[a-z_]+_chk(@|$)' <<<"$symbols" || fail "$program calls no fortified function"
done

desktop-file-validate "$prefix/share/applications/velmora.desktop" || fail "the launcher does not validate"
appstreamcli validate --no-net "$prefix/share/metainfo/org.example.velmora.Velmora.metainfo.xml" >/dev/null \
  || fail "the AppStream file does not validate"

# The installed programs run from there and find what lies beside them: the shipped
# library, the templates and the archive reader (an export and an import).
"$prefix/bin/velmora" --version | grep -qx "velmora $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" \
  || fail "velmora --version"
tool="$prefix/bin/velmora-tool"
printf 'picture bytes' > "$scratch/photo.jpg"
export VELMORA_PASSWORD='install test' VELMORA_ARCHIVE_PASSWORD='archive pw'
"$tool" init --data "$scratch/a" >/dev/null
"$tool" add --data "$scratch/a" "$scratch/photo.jpg" >/dev/null
"$tool" export --data "$scratch/a" --archive "$scratch/gift.eta" 1 >/dev/null
"$tool" init --data "$scratch/b" >/dev/null
"$tool" import --data "$scratch/b" --archive "$scratch/gift.eta" >/dev/null
"$tool" ls --data "$scratch/b" | grep -q "photo.jpg" || fail "the installed tool could not carry an item across"
# The helper answers --help itself instead of handing "--help" to Velmora as a path.
help="$("$prefix/bin/velmora-add-files" --help)" || fail "velmora-add-files --help failed"
[[ "$help" == Usage:* ]] || fail "velmora-add-files --help printed: $help"
echo "$mode: ok"
