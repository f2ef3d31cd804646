#!/bin/bash
# ImageMagick's geometry arguments are written with commas (0x2, 0%,60%).
# shellcheck disable=SC2054
# Usage: make_art.sh [OUT_DIR]
# Draws, with ImageMagick, the login frame's two window buttons and the game
# window's frame, title-bar buttons and link plaques; each button at rest and
# under the pointer. The pictures beside this script are its output and are
# committed, so a build never needs ImageMagick; run it again only to change
# the art. The light falls from the upper left, as on the frame.
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

# --- The game window ---------------------------------------------------------

# Final pixel edges to supersampled drawing coordinates: ImageMagick puts a
# pixel's centre on the whole number, so edge v of the small image is
# v * ss - 0.5 of the large one. Glyphs placed on whole edges stay sharp.
at() { awk -v s="$ss" 'BEGIN { for (i = 1; i < ARGC; i++) printf "%s%g", (i > 1 ? "," : ""), ARGV[i] * s - 0.5 }' "$@"; }

# The frame is rows (or columns) of flat colour, so it is drawn at its own
# size: whole pixels leave nothing to average. Outer edges take the light
# from the upper left, bright above and to the left, dark below and to the
# right; the gold thread runs round the inside, where the game sits.
edge_light='#5d6e94' edge_dark='#0e131d'
edge_inner='#3a4868'  # under the light edge, easing it into the body
strip_top='#29334d'   # the title strip's body fades down into the field
gold_lit='#e0b958' gold_shade='#8a6526'

# title_rows WIDTH OUT: the title strip's 28 rows, WIDTH pixels wide.
title_rows() {
    local w=$1
    "$convert" -size "${w}x28" "xc:$field" \
        \( -size "${w}x23" "gradient:$strip_top-$field" \) -geometry +0+2 -compose Over -composite \
        -fill "$edge_light" -draw "rectangle 0,0 $((w - 1)),0" \
        -fill "$edge_inner" -draw "rectangle 0,1 $((w - 1)),1" \
        -fill "$edge_dark" -draw "rectangle 0,25 $((w - 1)),25" \
        -fill "$gold_lit" -draw "rectangle 0,26 $((w - 1)),26" \
        -fill "$gold_shade" -draw "rectangle 0,27 $((w - 1)),27" "$2"
}

# The program stretches the strips along their length, so they do not vary
# along it; 100 pixels is only a length to stretch from.
jpeg=(-strip -sampling-factor 1x1 -quality 95)
title_rows 100 "$tmp/top.png"
"$convert" "$tmp/top.png" "${jpeg[@]}" "$out/frame_top.jpg"
# stripe SIZE COLOUR... OUT: one flat colour a row or column, in order.
stripe() {
    local size=$1 args=()
    shift
    while (($# > 1)); do args+=("xc:$1"); shift; done
    case $size in
        1x*) "$convert" -size "$size" "${args[@]}" +append "${jpeg[@]}" "$1" ;;
        *) "$convert" -size "$size" "${args[@]}" -append "${jpeg[@]}" "$1" ;;
    esac
}
stripe 1x100 "$edge_light" "$strip_top" "$gold_lit" "$out/frame_left.jpg"
stripe 1x100 "$gold_shade" "$field" "$edge_dark" "$out/frame_right.jpg"
stripe 100x1 "$gold_shade" "$field" "$edge_dark" "$out/frame_bottom.jpg"

# game_button NAME GLYPH(close|max|full|min|refresh) HOVER(0|1): a 22 x 28
# button for the right end of the title strip. Its ground is the strip's own
# rows, so a row of them reads as one with the bar; the glyph sits in the
# strip's body, centred on (11, 13), clear of the gold thread.
game_button() {
    local name=$1 glyph=$2 hover=$3
    local w=22 h=28
    local dw=$((w * ss)) dh=$((h * ss))
    local glyph_col glyph_hi
    if [[ $hover == 1 ]]; then
        glyph_col='#ffd45e' glyph_hi='#fff3c4'
    else
        glyph_col='#e8c25a' glyph_hi='#fae08a'
    fi
    title_rows "$w" "$tmp/rows.png"

    # The glyph as white on black. Walls are two pixels on whole edges, to be
    # as heavy as the login frame's strokes and as sharp as they can be.
    local mvg
    case $glyph in
        close) mvg="stroke white stroke-width $((2 * ss)) stroke-linecap round
                    line $(at 7 9 15 17) line $(at 7 17 15 9)" ;;
        max) mvg="fill white rectangle $(at 6 8 16 18) fill black rectangle $(at 8 10 14 16)" ;;
        full)
            # Corner brackets opening outwards, the sides' middles left open.
            mvg="fill white
                 rectangle $(at 5 7 9 9) rectangle $(at 5 7 7 11)
                 rectangle $(at 13 7 17 9) rectangle $(at 15 7 17 11)
                 rectangle $(at 5 17 9 19) rectangle $(at 5 15 7 19)
                 rectangle $(at 13 17 17 19) rectangle $(at 15 15 17 19)" ;;
        min) mvg="stroke white stroke-width $((2 * ss)) stroke-linecap round line $(at 8 17.5 14 17.5)" ;;
        refresh)
            # Most of a ring, clockwise from the right round to the top, and
            # a head at its end pointing on round into the gap. The ring is
            # a path of short lines: ImageMagick closes an arc with its chord.
            mvg=$(awk -v s="$ss" 'BEGIN {
                pi = atan2(0, -1); cx = 11; cy = 13; r = 4.5; a0 = 20 * pi / 180; a1 = 262 * pi / 180
                printf "fill none stroke white stroke-width %g stroke-linecap round stroke-linejoin round path \"", 2 * s
                for (i = 0; i <= 48; i++) {
                    a = a0 + (a1 - a0) * i / 48
                    printf "%s %g,%g ", (i ? "L" : "M"), (cx + r * cos(a)) * s - 0.5, (cy + r * sin(a)) * s - 0.5
                }
                printf "\" "
                px = cx + r * cos(a1); py = cy + r * sin(a1)   # where the ring ends
                tx = -sin(a1); ty = cos(a1)                    # on round, clockwise
                rx = cos(a1); ry = sin(a1)                     # outwards
                printf "stroke none fill white polygon %g,%g %g,%g %g,%g", (px + 2.8 * rx) * s - 0.5,
                    (py + 2.8 * ry) * s - 0.5, (px - 2.8 * rx) * s - 0.5, (py - 2.8 * ry) * s - 0.5,
                    (px + 3.3 * tx) * s - 0.5, (py + 3.3 * ty) * s - 0.5 }') ;;
    esac
    "$convert" -size "${dw}x${dh}" xc:black -draw "$mvg" "$tmp/glyph.png"

    local args=("$tmp/rows.png" -sample "${dw}x${dh}!")
    if [[ $hover == 1 ]]; then
        # Under the pointer a plate lights behind the glyph, inset from the
        # sides so that neighbours still meet on the bare strip.
        "$convert" -size "${dw}x${dh}" xc:black -fill white \
            -draw "roundrectangle $(at 1.5 2.5 20.5 24.5) $((3 * ss)),$((3 * ss))" "$tmp/plate.png"
        "$convert" -size "${dw}x${dh}" xc:black -fill white \
            -draw "roundrectangle $(at 2.5 3.5 19.5 23.5) $((2 * ss)),$((2 * ss))" "$tmp/plate_face.png"
        args+=(
            # A thin gold rim, lit from the upper left, then the face within.
            \( -size "${dw}x${dh}" -define gradient:direction=SouthEast "gradient:#f0cf74-#5a3e14"
               "$tmp/plate.png" -alpha off -compose CopyOpacity -composite \)
            -compose Over -composite
            \( -size "${dw}x${dh}" "gradient:#41598c-#1f2b47"
               "$tmp/plate_face.png" -alpha off -compose CopyOpacity -composite \)
            -compose Over -composite
        )
    fi
    args+=(
        # The glyph's shadow, down and to the right, then the glyph in gold.
        \( -size "${dw}x${dh}" "xc:#090b11" \( "$tmp/glyph.png" -roll "+$((ss * 7 / 10))+$((ss * 9 / 10))"
           -blur "0x$((ss / 2))" -level "0%,80%" \) -alpha off -compose CopyOpacity -composite \)
        -compose Over -composite
    )
    if [[ $hover == 1 ]]; then
        # A warm glow, kept faint: the glyph is small and would drown.
        args+=(\( -size "${dw}x${dh}" "xc:#ffd65c" \( "$tmp/glyph.png" -blur "0x$ss" -evaluate multiply 0.5 \)
            -alpha off -compose CopyOpacity -composite \) -compose Over -composite)
    fi
    args+=(
        \( -size "${dw}x${dh}" "gradient:$glyph_hi-$glyph_col"
           "$tmp/glyph.png" -alpha off -compose CopyOpacity -composite \)
        -compose Over -composite
        -filter Box -resize "${w}x${h}" "${jpeg[@]}"
    )
    "$convert" "${args[@]}" "$out/$name"
}

for glyph in close max full min refresh; do
    game_button "game_${glyph}_normal.jpg" "$glyph" 0
    game_button "game_${glyph}_hover.jpg" "$glyph" 1
done

# plaque NAME TEXT: a 43 x 19 gold-rimmed plaque with a word on it, for the
# game window's links and tools. PNG, not JPEG: JPEG rings round letters this
# small. The plaque is supersampled like the buttons; the word is drawn at
# its own size, where the font's hinting can put its stems on whole pixels.
font=${ART_FONT:-DejaVu-Sans-Condensed-Bold}
plaque() {
    local name=$1 text=$2
    local w=43 h=19
    local dw=$((w * ss)) dh=$((h * ss))
    "$convert" -size "${dw}x${dh}" xc:black -fill white \
        -draw "roundrectangle $(at 0 0 "$w" "$h") $((4 * ss)),$((4 * ss))" "$tmp/outline.png"
    "$convert" -size "${dw}x${dh}" xc:black -fill white \
        -draw "roundrectangle $(at 1 1 $((w - 1)) $((h - 1))) $((3 * ss)),$((3 * ss))" "$tmp/rim.png"
    "$convert" -size "${dw}x${dh}" xc:black -fill white \
        -draw "roundrectangle $(at 2 2 $((w - 2)) $((h - 2))) $((2 * ss)),$((2 * ss))" "$tmp/face.png"
    "$convert" -size "${w}x${h}" xc:black -fill white -font "$font" -pointsize 10 -kerning -0.5 -gravity center \
        -annotate +0+0 "$text" "$tmp/word.png"
    "$convert" -size "${dw}x${dh}" "xc:$field" \
        \( -size "${dw}x${dh}" xc:#090b11 "$tmp/outline.png" -alpha off -compose CopyOpacity -composite \) \
        -compose Over -composite \
        \( -size "${dw}x${dh}" -define gradient:direction=SouthEast gradient:#fae08a-#6e4a16 \
           "$tmp/rim.png" -alpha off -compose CopyOpacity -composite \) \
        -compose Over -composite \
        \( -size "${dw}x${dh}" gradient:#34466c-#151c2c \
           "$tmp/face.png" -alpha off -compose CopyOpacity -composite \) \
        -compose Over -composite \
        -filter Box -resize "${w}x${h}" \
        \( -size "${w}x${h}" xc:#090b11 \( "$tmp/word.png" -roll +1+1 -evaluate multiply 0.8 \) \
           -alpha off -compose CopyOpacity -composite \) \
        -compose Over -composite \
        \( -size "${w}x${h}" gradient:#fae08a-#e8c25a \
           "$tmp/word.png" -alpha off -compose CopyOpacity -composite \) \
        -compose Over -composite \
        -strip -depth 8 -define png:color-type=2 "$out/$name"
}

plaque link_clear.png Clear
plaque link_charge.png Charge
plaque link_web.png Web
plaque link_bbs.png BBS
