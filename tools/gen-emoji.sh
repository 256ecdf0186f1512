#!/usr/bin/env bash
# Regenerates data/emoji: one picture emoji/<key>.png for every key the emoji
# scanner can produce, so the conversation page never shows a broken image.
#
#  - U+E000..U+E537, the old SoftBank private-use codes that older phones
#    still send: the emoji each code stands for; codes SoftBank never assigned
#    get a neutral placeholder.
#  - The single-unit symbols the scanner lists (U+203C ... U+3030).
#  - Every emoji starting with a code point of U+1F000..U+1F7FF (what a high
#    surrogate D83C or D83D can reach). The scanner keys a sequence by its
#    first code point, so a sequence without a picture of its own uses the
#    picture of the plain emoji, or failing that of its first sequence.
#    Regional indicator letters (flags come as two of them) get letter tiles.
#
# Pictures: the Twemoji graphics of the npm package emoji-datasource-twitter
# (CC-BY 4.0; its emoji.json, MIT, also maps the SoftBank codes), shrunk to
# SIZE pixels. The package is fetched into a temporary folder; the results
# are committed, so a normal build needs neither this script nor the network.
# Usage: tools/gen-emoji.sh [output emoji folder]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/../data/emoji}"
PACKAGE=emoji-datasource-twitter@16.0.0
SIZE=32

needed=(imagemagick fonts-dejavu-core)
# Node may come from another source than Debian's package; only its commands matter.
command -v npm >/dev/null 2>&1 || needed+=(nodejs npm)

bash "$(dirname "${BASH_SOURCE[0]}")/../scripts/install-deps.sh" "${needed[@]}"

# The Debian ImageMagick binaries; a "convert" earlier in PATH may be something else.
IM=/usr/bin/convert
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
# PNGs without time stamps, so that a rerun yields identical files.
PNG_OPTS=(-strip -define png:exclude-chunks=date,time)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$work" && npm pack --silent "$PACKAGE" >/dev/null && tar xzf ./*.tgz)
pkg="$work/package"

# key<TAB>source, where source is an image of the package, "letter:X" or
# "placeholder".
node - "$pkg/emoji.json" > "$work/plan.tsv" <<'EOF'
const fs = require('fs');
const emoji = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'))
    .filter(e => e.has_img_twitter)
    .sort((a, b) => a.sort_order - b.sort_order);

const hex = n => n.toString(16).toUpperCase();
const codePoints = unified => unified.split('-').map(h => parseInt(h, 16));
const plain = cps => cps.filter(cp => cp !== 0xFE0F);

// Picture for a key: the emoji that is that code point alone (with or
// without U+FE0F), else the first sequence that starts with it.
const byFirst = new Map();
for (const e of emoji) {
    const cps = codePoints(e.unified);
    const first = cps[0];
    const single = plain(cps).length === 1;
    const known = byFirst.get(first);
    if (!known || (single && !known.single))
        byFirst.set(first, { image: e.image, single });
}

const plan = new Map();
const put = (key, source) => { if (!plan.has(key)) plan.set(key, source); };

// SoftBank private-use codes.
for (const e of emoji) {
    if (!e.softbank)
        continue;
    const code = parseInt(e.softbank, 16);
    if (code >= 0xE000 && code <= 0xE537)
        put(hex(code), e.image);
}
for (let code = 0xE000; code <= 0xE537; ++code)
    put(hex(code), 'placeholder');

// The scanner's single-unit symbols.
const symbols = [0x203C, 0x2049, 0x2139, 0x2194, 0x2195, 0x21A9, 0x21AA, 0x231A, 0x231B, 0x23EB,
    0x23EC, 0x23F0, 0x23F3, 0x24C2, 0x25AA, 0x25AB, 0x25FB, 0x25FC, 0x25FD, 0x25FE, 0x2611, 0x267B,
    0x2693, 0x26AA, 0x26AB, 0x26C5, 0x26D4, 0x2705, 0x2709, 0x270F, 0x2712, 0x2714, 0x2744, 0x2747,
    0x274E, 0x2795, 0x2796, 0x2797, 0x27B0, 0x2934, 0x2935, 0x2B1B, 0x2B1C, 0x3030];
for (const s of symbols) {
    const found = byFirst.get(s);
    if (!found)
        throw new Error('no picture for U+' + hex(s));
    put(hex(s), found.image);
}

// What the surrogate pass reaches.
for (let cp = 0x1F1E6; cp <= 0x1F1FF; ++cp)
    put(hex(cp), 'letter:' + String.fromCharCode(0x41 + cp - 0x1F1E6));
for (const [first, found] of [...byFirst].sort((a, b) => a[0] - b[0]))
    if (first >= 0x1F000 && first <= 0x1F7FF)
        put(hex(first), found.image);

for (const [key, source] of plan)
    console.log(key + '\t' + source);
EOF

mkdir -p "$out"
out="$(cd "$out" && pwd)"
rm -f "$out"/*.png

shrink() {   # source picture, target
    "$IM" "$1" -resize "${SIZE}x${SIZE}" "${PNG_OPTS[@]}" "$2"
}

# A light grey tile with a dark mark: the unassigned private-use codes show
# "?", the regional indicators their letter.
tile() {   # text, target
    "$IM" -size "${SIZE}x${SIZE}" xc:none -fill '#8A94A6' \
        -draw "roundrectangle 1,1 $((SIZE - 2)),$((SIZE - 2)) 6,6" \
        -fill white -font "$FONT" -pointsize $((SIZE * 5 / 8)) -gravity center \
        -annotate +0+1 "$1" "${PNG_OPTS[@]}" "$2"
}

tile "?" "$work/placeholder.png"
declare -A done_sources
count=0
while IFS=$'\t' read -r key source; do
    target="$out/$key.png"
    case "$source" in
        placeholder) cp "$work/placeholder.png" "$target" ;;
        letter:*) tile "${source#letter:}" "$target" ;;
        *)
            # Private-use codes repeat pictures of Unicode emoji: shrink once.
            if [ -n "${done_sources[$source]:-}" ]; then
                cp "${done_sources[$source]}" "$target"
            else
                shrink "$pkg/img/twitter/64/$source" "$target"
                done_sources[$source]="$target"
            fi
            ;;
    esac
    count=$((count + 1))
done < "$work/plan.tsv"

cat > "$out/LICENSE.txt" <<'TEXT'
Emoji pictures: Twemoji graphics, Copyright 2019 Twitter, Inc and other
contributors, Copyright 2024 jdecked and other contributors, licensed under
CC-BY 4.0 (https://creativecommons.org/licenses/by/4.0/); reduced in size.
The letter tiles (1F1E6 ... 1F1FF) and the "?" tile are the program's own.
TEXT

placeholders=$(grep -c $'\tplaceholder$' "$work/plan.tsv" || true)
echo "Wrote $count pictures to $out ($placeholders private-use placeholders), $(du -sh "$out" | cut -f1)"
