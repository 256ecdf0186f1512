#!/usr/bin/env bash
# Builds the .deb from a build tree, unpacks it into an empty folder (as
# dpkg would install it, without touching the system) and starts the command
# line from there.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! (cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
deb=$(ls "$work"/out/*.deb)
echo "built $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6webenginewidgets6 libsqlite3-0; do
    grep -q "$lib" <<<"$depends" || { echo "missing dependency: $lib"; exit 1; }
done

root=$work/root
dpkg -x "$deb" "$root"
for file in usr/lib/ferrywright/ferrywright usr/lib/ferrywright/ferrywright-cli \
            usr/lib/ferrywright/emoji usr/lib/ferrywright/bubble \
            usr/share/applications/ferrywright.desktop \
            usr/share/icons/hicolor/128x128/apps/ferrywright.png; do
    [ -e "$root/$file" ] || { echo "not in the package: $file"; exit 1; }
done

"$root/usr/bin/ferrywright-cli" --help >/dev/null
mkdir "$work/home"
HOME=$work/home "$root/usr/bin/ferrywright-cli" databases
echo "package ok"
