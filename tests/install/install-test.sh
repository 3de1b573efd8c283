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
    cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null
    debs=("$scratch"/package/velmora_*.deb)
    [ -f "${debs[0]}" ] || fail "no package was made"
    deb="${debs[0]}"
    [ "$(dpkg-deb -f "$deb" Package)" = velmora ] || fail "package name"
    version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
    depends="$(dpkg-deb -f "$deb" Depends)"
    for needed in libqt6widgets6 libsqlcipher gstreamer1.0-plugins-good; do
      [[ "$depends" == *"$needed"* ]] || fail "the package does not depend on $needed: $depends"
    done
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
# The file managers' "Add To Velmora" entry: the helper on the path, Dolphin's service menu
# in both folders Dolphin reads, the GNOME Files script kept for each user to link.
for file in bin/velmora-add-files share/kio/servicemenus/velmora-add-files.desktop \
            share/kservices5/ServiceMenus/velmora-add-files.desktop \
            "share/velmora/nautilus-scripts/Add To Velmora"; do
  [ -x "$prefix/$file" ] || fail "$file is not installed as a program"
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
echo "$mode: ok"
