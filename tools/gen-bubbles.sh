#!/usr/bin/env bash
# Regenerates the pictures of data/bubble: the nine-part chat bubbles
# bb1_01..09.png (received, tail at the bottom left) and bb2_01..09.png (sent,
# tail at the bottom right), and the placeholder empty_photo.jpg.
#
# Each bubble is drawn whole as SVG and cut into nine pieces whose borders
# match what printing stretches them to:
#             top right bottom left
#   sent       27   41     25    29
#   received   28   29     24    40
# The middle row and column are stretched, so the bubble's edges are straight
# there and the corners and the tail lie inside the border pieces. Text and
# pictures are placed 20 (sent) or 30 (received) pixels from the left and 10
# from the top, so the bubble body is drawn around that area.
# Usage: tools/gen-bubbles.sh [output bubble folder]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/../data/bubble}"

bash "$(dirname "${BASH_SOURCE[0]}")/../scripts/install-deps.sh" imagemagick librsvg2-bin

# The Debian ImageMagick binaries; a "convert" earlier in PATH may be something else.
IM=/usr/bin/convert
# PNGs without time stamps, so that a rerun yields identical files.
PNG_OPTS=(-strip -define png:exclude-chunks=date,time)
MIDDLE=4        # size of the stretched middle row and column
RADIUS=12

mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Outline of a bubble body from x=l to x=r and y=t to y=b with a tail at the
# bottom right whose tip is at (r + 11, b). The received bubble is the same
# path mirrored.
bubble_path() {   # l t r b
    local l=$1 t=$2 r=$3 b=$4 k=$RADIUS
    echo "M $((l + k)),$t H $((r - k)) A $k $k 0 0 1 $r,$((t + k)) V $((b - 16))" \
         "C $r,$((b - 6)) $((r + 4)),$((b - 1)) $((r + 11)),$b" \
         "C $((r + 3)),$b.6 $((r - 3)),$((b - 1)) $((r - 6)),$((b - 2))" \
         "C $((r - 9)),$b.2 $((r - 12)),$b $((r - 16)),$b" \
         "H $((l + k)) A $k $k 0 0 1 $l,$((b - k)) V $((t + k)) A $k $k 0 0 1 $((l + k)),$t Z"
}

# prefix, top, right, bottom, left, fill, top highlight, outline, mirrored (0/1)
make_bubble() {
    local prefix=$1 top=$2 right=$3 bottom=$4 left=$5 fill=$6 light=$7 line=$8 mirrored=$9
    local w=$((left + MIDDLE + right)) h=$((top + MIDDLE + bottom))
    # Body edges: 12 pixels around the text area, 2 from the top, 4 from the
    # bottom (room for the shadow); the tail side leaves room for the tail.
    local tailSide=$(( mirrored ? left : right ))
    local plainSide=$(( mirrored ? right : left ))
    local l=$((plainSide - 21)) r=$((w - tailSide + 23)) t=2 b=$((h - 4))
    local transform=""
    [ "$mirrored" -eq 1 ] && transform="translate($w,0) scale(-1,1)"
    local path
    path="$(bubble_path $l $t $r $b)"
    cat > "$work/$prefix.svg" <<SVG
<svg xmlns="http://www.w3.org/2000/svg" width="$w" height="$h" viewBox="0 0 $w $h">
  <defs>
    <linearGradient id="gloss" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="$light"/>
      <stop offset="1" stop-color="$fill"/>
    </linearGradient>
    <filter id="soft" x="-10%" y="-10%" width="120%" height="130%">
      <feGaussianBlur stdDeviation="1"/>
    </filter>
  </defs>
  <g transform="$transform">
    <path d="$path" transform="translate(0,1.5)" fill="#000" fill-opacity="0.18" filter="url(#soft)"/>
    <path d="$path" fill="$fill" stroke="$line" stroke-width="1"/>
    <clipPath id="body"><path d="$path"/></clipPath>
    <rect x="$l" y="$t" width="$((r - l))" height="$((top - t))" fill="url(#gloss)" clip-path="url(#body)"/>
    <path d="$path" fill="none" stroke="$line" stroke-width="1"/>
  </g>
</svg>
SVG
    rsvg-convert -w "$w" -h "$h" "$work/$prefix.svg" -o "$work/$prefix.png"
    local xs=(0 "$left" $((left + MIDDLE))) ws=("$left" "$MIDDLE" "$right")
    local ys=(0 "$top" $((top + MIDDLE))) hs=("$top" "$MIDDLE" "$bottom")
    local n=1
    for row in 0 1 2; do
        for col in 0 1 2; do
            "$IM" "$work/$prefix.png" -crop "${ws[col]}x${hs[row]}+${xs[col]}+${ys[row]}" +repage \
                "${PNG_OPTS[@]}" "$out/${prefix}_0$n.png"
            n=$((n + 1))
        done
    done
}

#            prefix top right bottom left fill      highlight outline   mirrored
make_bubble  bb2    27  41    25     29   '#C5EDA0' '#DDF7C6' '#8DBE6A' 0
make_bubble  bb1    28  29    24     40   '#FFFFFF' '#FFFFFF' '#AEB8C8' 1

# Placeholder for a picture whose thumbnail is missing: a framed landscape.
cat > "$work/empty_photo.svg" <<'SVG'
<svg xmlns="http://www.w3.org/2000/svg" width="120" height="90" viewBox="0 0 120 90">
  <rect width="120" height="90" fill="#EEF1F6"/>
  <rect x="0.5" y="0.5" width="119" height="89" fill="none" stroke="#B9BDC6"/>
  <circle cx="84" cy="30" r="9" fill="#C9CFDA"/>
  <path d="M 14,74 L 44,38 L 64,60 L 76,48 L 106,74 Z" fill="#B6BECB"/>
</svg>
SVG
rsvg-convert -w 120 -h 90 "$work/empty_photo.svg" -o "$work/empty_photo.png"
"$IM" "$work/empty_photo.png" -background '#EEF1F6' -alpha remove -strip -quality 90 "$out/empty_photo.jpg"

echo "Wrote the bubble pictures to $out"
