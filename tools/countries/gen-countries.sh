#!/usr/bin/env bash
# Regenerates res/countries.db, res/countries-SOURCES.md and the benchmark's
# example numbers (bench/data/mobile-examples.tsv, bench/data/fixed-line-examples.tsv)
# from public packages.
# The outputs are committed, so a build never needs this script or a network.
#
# Usage: tools/countries/gen-countries.sh [--numc all|mobile] [--out DB]
#   --numc  lengths stored in numc (default: all, see res/countries-SOURCES.md)
#   --out   where to write the database (default: res/countries.db); with
#           another path the sources note and examples are left alone.
set -euo pipefail

LIBPHONENUMBER_JS_VERSION=1.13.18
MCC_MNC_LIST_VERSION=1.1.11
DEBIAN_PACKAGES=(mobile-broadband-provider-info iso-codes unicode-cldr-core libphonenumber-dev g++)

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
numc=all
out="$repo/res/countries.db"
while [ $# -gt 0 ]; do
    case "$1" in
        --numc) numc=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done

install_debian_packages() {
    local missing=()
    for p in "${DEBIAN_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    local sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

debian_version() { dpkg-query -W -f='${Version}' "$1"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

install_debian_packages
(cd "$work" && npm pack --silent "libphonenumber-js@$LIBPHONENUMBER_JS_VERSION" \
    "mcc-mnc-list@$MCC_MNC_LIST_VERSION" >/dev/null)
mkdir -p "$work/lpn" "$work/mccmnc"
tar xzf "$work/libphonenumber-js-$LIBPHONENUMBER_JS_VERSION.tgz" -C "$work/lpn"
tar xzf "$work/mcc-mnc-list-$MCC_MNC_LIST_VERSION.tgz" -C "$work/mccmnc"

node "$here/format-examples.cjs" "$work/lpn/package" > "$work/examples.json"
g++ -std=c++17 -O1 -o "$work/fixed-line-examples" "$here/fixed-line-examples.cpp" -lphonenumber

sources="$repo/res/countries-SOURCES.md"
bench="$repo/bench/data/mobile-examples.tsv"
fixed="$repo/bench/data/fixed-line-examples.tsv"
if [ "$out" != "$repo/res/countries.db" ]; then
    sources="$work/SOURCES.md"
    bench="$work/examples.tsv"
    fixed="$work/fixed.tsv"
fi
mkdir -p "$(dirname "$bench")"
{
    printf '# region\tcalling code\tnational number\tE.164\tnational format\n'
    printf '# fixed-line examples of libphonenumber %s (Debian libphonenumber-dev, Apache-2.0)\n' \
        "$(dpkg-query -W -f='${Version}' libphonenumber-dev)"
    "$work/fixed-line-examples"
} > "$fixed"

versions="libphonenumber-js=$LIBPHONENUMBER_JS_VERSION,mcc-mnc-list=$MCC_MNC_LIST_VERSION"
for p in "${DEBIAN_PACKAGES[@]}"; do versions="$versions,$p=$(debian_version "$p")"; done

python3 "$here/build_countries_db.py" \
    --lpn "$work/lpn/package" --mccmnc "$work/mccmnc/package" \
    --examples "$work/examples.json" --numc "$numc" --versions "$versions" \
    --out "$out" --sources "$sources" --bench "$bench"
