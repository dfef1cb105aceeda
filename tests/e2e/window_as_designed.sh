#!/usr/bin/env bash
# The real window as a window manager and a person would meet it: centred on
# two screen sizes, 571 x 264, undecorated yet managed, named, with its icon
# and a fixed size; its banner, black panel and keys where they belong; and a
# click where a black key covers a white one plays the black key, a click
# below it the white key, while the gap between keys and the banner are silent.
#   PLINKORA=... PLINKORA_ANALYSIS=... PLINKORA_X11PROBE=... window_as_designed.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

readonly WINDOW_W=571 WINDOW_H=264
readonly SCREENS=(1280x800x24 1024x768x24)

e2e_require Xvfb xdotool xprop xwininfo pulseaudio parec pactl
e2e_require_probe
e2e_init

prop() { xprop -id "$E2E_WIN" -notype "$1"; }

expect_prop()
{
    local got
    got=$(prop "$1")
    [[ $got == "$1 = $2" ]] || e2e_fail "expected $1 = $2, got: $got"
}

# Centred within a pixel (odd differences round either way), exactly 571 x 264.
check_geometry()
{
    local screen_w=${1%%x*} rest=${1#*x} screen_h
    screen_h=${rest%%x*}
    e2e_log "screen ${screen_w}x${screen_h}: window ${E2E_WIN_W}x${E2E_WIN_H} at ${E2E_WIN_X},${E2E_WIN_Y}"
    ((E2E_WIN_W == WINDOW_W && E2E_WIN_H == WINDOW_H)) || e2e_fail "window is ${E2E_WIN_W}x${E2E_WIN_H}"
    local dx=$((2 * E2E_WIN_X - (screen_w - WINDOW_W))) dy=$((2 * E2E_WIN_Y - (screen_h - WINDOW_H)))
    ((dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2)) || e2e_fail "window not centred: at ${E2E_WIN_X},${E2E_WIN_Y}"
}

check_window_properties()
{
    local info hints icons
    info=$(xwininfo -id "$E2E_WIN")
    grep -q 'Map State: IsViewable' <<<"$info" || e2e_fail "window not viewable"
    # Without a frame, yet a normal top-level that a window manager would manage.
    grep -q 'Override Redirect State: no' <<<"$info" || e2e_fail "window is override-redirect"
    prop _NET_WM_WINDOW_TYPE | grep -q '_NET_WM_WINDOW_TYPE_NORMAL' || e2e_fail "not a normal window: $(prop _NET_WM_WINDOW_TYPE)"
    # Motif hints: flags, functions, decorations, ...; flag 2 says the decorations count.
    read -r -a hints <<<"$(prop _MOTIF_WM_HINTS | sed 's/.*= //; s/,//g')"
    ((${#hints[@]} >= 3 && (hints[0] & 2) && hints[2] == 0)) || e2e_fail "decorations not off: $(prop _MOTIF_WM_HINTS)"
    expect_prop WM_NAME '"Plinkora"'
    expect_prop _NET_WM_NAME '"Plinkora"'
    expect_prop WM_CLASS '"plinkora", "Plinkora"'
    prop WM_NORMAL_HINTS | grep -q "minimum size: $WINDOW_W by $WINDOW_H" || e2e_fail "minimum size: $(prop WM_NORMAL_HINTS)"
    prop WM_NORMAL_HINTS | grep -q "maximum size: $WINDOW_W by $WINDOW_H" || e2e_fail "maximum size: $(prop WM_NORMAL_HINTS)"
    # The program icon's sizes, as a window manager or task switcher picks them.
    icons=$(prop _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')
    for size in 16 32 48 128; do
        [[ $icons == *"Icon ($size x $size)"* ]] || e2e_fail "_NET_WM_ICON lacks ${size}x${size}: $icons"
    done
}

# Mean colour of window rectangles "x y w h" (pixels).
check_colours()
{
    local what=$1 test=$2 rect colour
    shift 2
    for rect in "$@"; do
        # shellcheck disable=SC2086  # the rectangle is four words
        colour=$(e2e_probe mean "$E2E_WIN" $rect) || e2e_fail "cannot read the window's pixels"
        awk -v c="$colour" "BEGIN { split(c, v, \" \"); r = v[1]; g = v[2]; b = v[3]; exit !($test) }" ||
            e2e_fail "$what at $rect: mean colour $colour"
    done
}

# In pixels from the window's top-left: the banner is 73 rows high, the panel
# starts at row 72 with a 2-pixel margin, white keys are 25 wide at a pitch of
# 27 from column 2 and end at row 258, black key 1 spans columns 15 to 40 and
# rows 74 to 194. Regions avoid the key labels.
check_pixels()
{
    e2e_probe ppm "$E2E_WIN" "$E2E_DIR/window.ppm"
    check_colours "banner too dark" 'r + g + b > 240' "0 0 285 72" "285 0 286 72"
    check_colours "panel not black" 'r + g + b < 15' "0 72 571 2" "28 200 1 55" "0 260 571 4" "0 74 1 185"
    check_colours "white key not light" 'r > 180 && g > 180 && b > 180' "3 90 10 90" "3 196 22 14"
    check_colours "black key not black" 'r + g + b < 15' "17 80 22 70"
}

# In key panel twips: the gap between white keys 0 and 2; black key 1, which
# covers white key 0 down to 1845; white key 0 below it.
click_keys()
{
    local gap black_key white_key
    read -r -a gap <<<"$(e2e_panel_point 420 2000)"
    read -r -a black_key <<<"$(e2e_panel_point 300 500)"
    read -r -a white_key <<<"$(e2e_panel_point 300 2000)"
    e2e_start_recording
    e2e_click "${gap[@]}"
    e2e_pause 0.4
    e2e_click $((E2E_WIN_X + 100)) $((E2E_WIN_Y + 30))  # the banner
    e2e_pause 0.8
    # shellcheck disable=SC2034  # the harness reads it
    E2E_PRESSES=()  # those two must stay silent: the black key is the first sound
    e2e_click "${black_key[@]}"
    e2e_pause 0.8
    e2e_click "${white_key[@]}"
    e2e_pause 1
    e2e_stop_recording
    e2e_check_first_sound && e2e_check_notes 49 48
}

# From a fresh start, so that nothing rings when the recording starts.
first_screen()
{
    e2e_launch "${PLINKORA:?path of the plinkora binary}"
    e2e_wait_window
    check_geometry "${SCREENS[0]}"
    check_window_properties
    check_pixels
    click_keys || return 1
    e2e_focus
    e2e_press_key Escape
    e2e_wait_exit 10 || e2e_fail "still running 10 s after Esc"
    [[ $E2E_EXIT_STATUS -eq 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS; log: $(cat "$E2E_DIR/app.log")"
}

e2e_start_x "${SCREENS[0]}"
e2e_start_audio
e2e_retry_if_stalled first_screen

e2e_start_x "${SCREENS[1]}"
e2e_launch "$PLINKORA"
e2e_wait_window
check_geometry "${SCREENS[1]}"
