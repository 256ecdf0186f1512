#!/usr/bin/env bash
# Regenerates the pictures compiled into the program: the tool-bar, menu and
# tree icons under res/, the application icon and the two background pictures
# under res/app/. The icons are taken (and for the transfer actions combined)
# from the Oxygen icon theme (LGPL-3+); the backgrounds are plain gradients.
# The results are committed, so a normal build never needs this script or
# the network. Usage: tools/gen-icons.sh [output res folder]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
res="${1:-$here/../res}"
mkdir -p "$res/app"
res="$(cd "$res" && pwd)"

needed=(oxygen-icon-theme imagemagick)

bash "$(dirname "${BASH_SOURCE[0]}")/../scripts/install-deps.sh" "${needed[@]}"

# The Debian ImageMagick binaries; a "convert" earlier in PATH may be something else.
IM=/usr/bin/convert
THEME=/usr/share/icons/oxygen/base

# Writes PNGs without time stamps so that a rerun yields identical files.
PNG_OPTS=(-strip -define png:exclude-chunks=date,time)

# icon SIZE CATEGORY NAME: path of the theme's picture of that size; when the
# theme lacks it, the next larger one (scaled down, stays sharp), else the
# largest smaller one.
icon() {
    local size=$1 category=$2 name=$3 s f
    local larger=() smaller=()
    for s in 16 22 32 48 64 128 256; do
        if [ "$s" -gt "$size" ]; then larger+=("$s"); elif [ "$s" -lt "$size" ]; then smaller=("$s" "${smaller[@]}"); fi
    done
    for s in "$size" "${larger[@]}" "${smaller[@]}"; do
        f="$THEME/${s}x${s}/$category/$name.png"
        if [ -f "$f" ]; then echo "$f"; return; fi
    done
    echo "missing theme icon $category/$name" >&2
    return 1
}

# plain OUT SIZE CATEGORY NAME: one theme icon at SIZE x SIZE.
plain() {
    local out=$1 size=$2
    "$IM" "$(icon "$size" "$3" "$4")" -background none -filter Lanczos \
        -resize "${size}x${size}" -gravity center -extent "${size}x${size}" \
        "${PNG_OPTS[@]}" "$res/$out"
}

# transfer OUT FROM_CAT FROM_NAME TO_CAT TO_NAME: a 64 x 64 picture of a
# source (small, lower left), an arrow, and a target (large, upper right).
transfer() {
    local out=$1
    "$IM" -size 64x64 xc:none \
        \( "$(icon 64 "$4" "$5")" -filter Lanczos -resize 44x44 \) -geometry +20+0 -composite \
        \( "$(icon 64 "$2" "$3")" -filter Lanczos -resize 34x34 \) -geometry +0+30 -composite \
        \( "$(icon 32 actions go-next)" -filter Lanczos -resize 26x26 \) -geometry +24+38 -composite \
        "${PNG_OPTS[@]}" "$res/$out"
}

# badged OUT BASE_CAT BASE_NAME BADGE_CAT BADGE_NAME: a 64 x 64 theme icon
# with a smaller one in its lower right corner.
badged() {
    local out=$1
    "$IM" -size 64x64 xc:none \
        \( "$(icon 64 "$2" "$3")" -filter Lanczos -resize 60x60 \) -geometry +0+0 -composite \
        \( "$(icon 32 "$4" "$5")" -filter Lanczos -resize 32x32 \) -geometry +32+32 -composite \
        "${PNG_OPTS[@]}" "$res/$out"
}

# Tool-bar actions (shown at 52 x 52).
transfer backup.png        devices smartphone     places server-database
transfer a2a.png           devices smartphone     devices smartphone
transfer db2a.png          places server-database devices smartphone
badged   extract_media.png mimetypes image-x-generic       actions go-down
badged   export.png        mimetypes application-vnd.oasis.opendocument.text actions go-next
plain    print.png  64 devices printer
plain    delete.png 64 places user-trash

# Menu-only actions and the search buttons.
badged   open_db_folder.png places folder-blue places server-database
plain    exit.png    32 actions application-exit
plain    help.png    32 apps help-browser
plain    unmount.png 32 actions media-eject
plain    search.png  32 actions edit-find

# Tree nodes (shown 18 pixels wide).
"$IM" -size 32x32 xc:none \
    \( "$(icon 32 devices pda)" -resize 24x24 \) -geometry +0+0 -composite \
    \( "$(icon 32 devices smartphone)" -resize 24x24 \) -geometry +9+8 -composite \
    "${PNG_OPTS[@]}" "$res/devices.png"
plain databases.png 32 places network-server-database
plain database.png  32 places server-database
plain android.png   32 devices smartphone
plain iphone.png    32 devices pda
plain contact.png   32 places user-identity
plain group.png     32 apps system-users

# Message list: SMS in the theme's colours, iMessage turned blue.
plain icon_sms-sent.png    32 actions mail-send
plain icon_sms-receive.png 32 actions mail-receive
"$IM" "$res/icon_sms-sent.png" -modulate 100,160,140 "${PNG_OPTS[@]}" "$res/imsg-send.png"
"$IM" "$res/icon_sms-receive.png" -modulate 100,160,140 "${PNG_OPTS[@]}" "$res/imsg-rec.png"

# Application icon: a phone with a new message.
"$IM" -size 128x128 xc:none \
    \( "$(icon 128 devices smartphone)" -resize 120x120 \) -geometry +0+0 -composite \
    \( "$(icon 64 status mail-unread-new)" -resize 64x64 \) -geometry +64+64 -composite \
    "${PNG_OPTS[@]}" "$res/app/main.png"

# Backgrounds. Main window: white fading into a faint blue at the bottom.
"$IM" -size 1600x1000 gradient:'#FFFFFF-#EAF4FA' -strip -quality 92 "$res/app/main_bg.jpg"
# Dialogs: a light blue band behind the title that fades into white.
"$IM" -size 640x56 gradient:'#CDEBF7-#FFFFFF' \
    \( -size 640x544 xc:'#FFFFFF' \) -append -strip -quality 92 "$res/app/sub_bg.jpg"

echo "Pictures written to $res"
