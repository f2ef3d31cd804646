#!/bin/bash
# Usage: make_art.sh [OUT_DIR]
# Draws the login frame's two window buttons, each at rest and under the
# pointer, with ImageMagick. The JPEGs beside this script are its output and
# are committed, so a build never needs ImageMagick; run it again only to
# change the art. The light falls from the upper left, as on the frame.
set -euo pipefail
out=${1:-$(dirname "$0")}
convert=${CONVERT:-convert}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Drawn eight times larger and averaged down: box filtering an exact multiple
# gives each edge pixel the share of the shape that covers it.
ss=8
field='#1d2536'  # the frame's dark slate blue

# button NAME SIZE GLYPH(x|bar) HOVER(0|1)
button() {
    local name=$1 size=$2 glyph=$3 hover=$4
    local d=$((size * ss))
    local c
    c=$(awk -v d="$d" 'BEGIN { print d / 2 }')
    # Radii in supersampled pixels: an ink outline, the gold rim, a dark
    # groove, then the face the glyph sits on.
    local ro rim face
    ro=$(awk -v n="$size" -v s="$ss" 'BEGIN { print (n / 2 - 1) * s }')
    rim=$(awk -v r="$ro" -v n="$size" -v s="$ss" 'BEGIN { print r - (n >= 28 ? 3.1 : 2.7) * s }')
    face=$(awk -v r="$rim" -v s="$ss" 'BEGIN { print r - 0.7 * s }')

    local rim_light rim_dark face_light face_dark ink glyph_col glyph_hi
    if [[ $hover == 1 ]]; then
        rim_light='#fff8dc' rim_dark='#b9842c'
        face_light='#41598c' face_dark='#1f2b47'
        glyph_col='#ffd45e' glyph_hi='#fff3c4'
    else
        rim_light='#fae08a' rim_dark='#6e4a16'
        face_light='#2c3d60' face_dark='#131a29'
        glyph_col='#e8c25a' glyph_hi='#fae08a'
    fi
    ink='#090b11'

    circle() { # CIRCLE_RADIUS -> a white disc on black, the size of the canvas
        "$convert" -size "${d}x${d}" xc:black -fill white \
            -draw "circle $c,$c $c,$(awk -v c="$c" -v r="$1" 'BEGIN { print c - r }')" "$2"
    }
    circle "$(awk -v r="$ro" -v s="$ss" 'BEGIN { print r + 0.8 * s }')" "$tmp/outline.png"
    circle "$ro" "$tmp/rim.png"
    circle "$rim" "$tmp/groove.png"
    circle "$face" "$tmp/face.png"

    # The glyph as a white stroke on black, with round ends.
    local arm sw
    arm=$(awk -v n="$size" -v s="$ss" 'BEGIN { print (n >= 28 ? 4.3 : 4.4) * s }')
    sw=$(awk -v n="$size" -v s="$ss" 'BEGIN { print (n >= 28 ? 2.3 : 2.5) * s }')
    local draw
    if [[ $glyph == x ]]; then
        local a b
        a=$(awk -v c="$c" -v r="$arm" 'BEGIN { print c - r }')
        b=$(awk -v c="$c" -v r="$arm" 'BEGIN { print c + r }')
        draw="line $a,$a $b,$b line $a,$b $b,$a"
    else
        local a b y
        a=$(awk -v c="$c" -v r="$arm" 'BEGIN { print c - r }')
        b=$(awk -v c="$c" -v r="$arm" 'BEGIN { print c + r }')
        y=$(awk -v c="$c" -v s="$ss" 'BEGIN { print c + 0.6 * s }')
        draw="line $a,$y $b,$y"
    fi
    "$convert" -size "${d}x${d}" xc:black -stroke white -strokewidth "$sw" \
        -draw "stroke-linecap round $draw" "$tmp/glyph.png"

    local args=(-size "${d}x${d}" "xc:$field")
    if [[ $hover == 1 ]]; then
        # A warm glow around the rim, spilling into the field.
        args+=(\( -size "${d}x${d}" "xc:#f5c84c" \( "$tmp/rim.png" -blur "0x$((2 * ss))" \
            -level 0%,70% \) -alpha off -compose CopyOpacity -composite \) -compose Over -composite)
    fi
    args+=(
        # The ink outline that seats the button in its socket.
        \( -size "${d}x${d}" "xc:$ink" "$tmp/outline.png" -alpha off -compose CopyOpacity -composite \)
        -compose Over -composite
        # The gold rim, lit from the upper left.
        \( -size "${d}x${d}" -define gradient:direction=SouthEast "gradient:$rim_light-$rim_dark"
           "$tmp/rim.png" -alpha off -compose CopyOpacity -composite \)
        -compose Over -composite
        # A dark groove between rim and face.
        \( -size "${d}x${d}" "xc:$ink" "$tmp/groove.png" -alpha off -compose CopyOpacity -composite \)
        -compose Over -composite
        # The face, dished: darker where the light comes from.
        \( -size "${d}x${d}" -define gradient:direction=SouthEast "gradient:$face_dark-$face_light"
           "$tmp/face.png" -alpha off -compose CopyOpacity -composite \)
        -compose Over -composite
        # The glyph's shadow, down and to the right, then the glyph in gold.
        \( -size "${d}x${d}" "xc:$ink" \( "$tmp/glyph.png" -roll "+$((ss * 7 / 10))+$((ss * 9 / 10))"
           -blur "0x$((ss / 2))" -level 0%,80% \) -alpha off -compose CopyOpacity -composite \)
        -compose Over -composite
    )
    if [[ $hover == 1 ]]; then
        args+=(\( -size "${d}x${d}" "xc:#ffd65c" \( "$tmp/glyph.png" -blur "0x$((3 * ss / 2))" -level 0%,60% \)
            -alpha off -compose CopyOpacity -composite \) -compose Over -composite)
    fi
    args+=(
        \( -size "${d}x${d}" -define gradient:direction=South "gradient:$glyph_hi-$glyph_col"
           "$tmp/glyph.png" -alpha off -compose CopyOpacity -composite \)
        -compose Over -composite
        # A faint sheen on the upper half of the face.
        \( -size "${d}x${d}" xc:white \( -size "${d}x${d}" xc:black -fill gray18
           -draw "ellipse $c,$(awk -v c="$c" -v f="$face" 'BEGIN { print c - f * 0.55 }') $(awk -v f="$face" 'BEGIN { print f * 0.62 }'),$(awk -v f="$face" 'BEGIN { print f * 0.32 }') 0,360"
           -blur "0x$ss" \) -alpha off -compose CopyOpacity -composite \)
        -compose Screen -composite
        -filter Box -resize "${size}x${size}" -strip -sampling-factor 1x1 -quality 95
    )
    "$convert" "${args[@]}" "$out/$name"
}

button close_normal.jpg 28 x 0
button close_hover.jpg 28 x 1
button minimize_normal.jpg 24 bar 0
button minimize_hover.jpg 24 bar 1
