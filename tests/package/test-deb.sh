#!/usr/bin/env bash
# Builds the .deb from a build tree, unpacks it into an empty folder (as
# dpkg would install it, without touching the system) and starts the command
# line from there; checks the metainfo, the manual pages, the bash
# completion, and what lintian says.
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
            usr/share/icons/hicolor/128x128/apps/ferrywright.png \
            usr/share/metainfo/com.ferrywright.ferrywright.metainfo.xml \
            usr/share/man/man1/ferrywright-cli.1.gz usr/share/man/man1/ferrywright.1.gz \
            usr/share/bash-completion/completions/ferrywright-cli; do
    [ -e "$root/$file" ] || { echo "not in the package: $file"; exit 1; }
done

appstreamcli validate --no-net "$root/usr/share/metainfo/com.ferrywright.ferrywright.metainfo.xml"

# The manual page is made from --help: every command the program lists has its section.
manual=$(zcat "$root/usr/share/man/man1/ferrywright-cli.1.gz")
for command in $("$root/usr/bin/ferrywright-cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\) .*/\1/p'); do
    grep -qx ".SS \"$command\"" <<<"$manual" || { echo "manual page lacks the command $command"; exit 1; }
done

# Bash completion of a half-typed line, from the unpacked program.
complete_line() {
    PATH="$root/usr/bin:$PATH" HOME=$work/home bash -c \
        'source "$1"; COMP_LINE=$2; COMP_POINT=${#COMP_LINE}; _ferrywright_cli; echo "${COMPREPLY[*]}"' \
        _ "$root/usr/share/bash-completion/completions/ferrywright-cli" "$1"
}
mkdir "$work/home"
while IFS='|' read -r line expected; do
    got=$(complete_line "$line")
    [ "$got" = "$expected" ] || { echo "completion of '$line': '$got', expected '$expected'"; exit 1; }
done <<'LINES'
ferrywright-cli sch|schedule
ferrywright-cli backup --all|--all-phones
ferrywright-cli schedule |install remove status
ferrywright-cli export --format p|pdf
LINES

# Debian's own checks: errors fail, warnings are shown.
if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" || { echo "lintian found errors"; exit 1; }
else
    echo "lintian is not installed; its checks were skipped"
fi

"$root/usr/bin/ferrywright-cli" --help >/dev/null
HOME=$work/home "$root/usr/bin/ferrywright-cli" databases
echo "package ok"
