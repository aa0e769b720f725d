# Driving a Windows program under Wine in Xvfb as a person would: keys, clicks, what the screen
# and the boxes show. Sourced by smoke.sh and installer.sh; DISPLAY and WINEPREFIX are set.
# SHOTS names the folder for screenshots.

fail() {
    echo "FAILED: $*" >&2
    shot "failure-$(date +%H%M%S)" 2>/dev/null || true
    exit 1
}

# window TITLE-REGEX [SECONDS]: waits for a visible window so titled; prints its id.
window() {
    local id
    for _ in $(seq 1 $((${2:-60} * 5))); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.2
    done
    fail "no window titled '$1' appeared"
}

# gone TITLE-REGEX [SECONDS]: waits until no visible window is so titled.
gone() {
    for _ in $(seq 1 $((${2:-60} * 5))); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    fail "the window titled '$1' stayed open"
}

focus() {
    timeout 10 xdotool windowfocus --sync "$1" || fail "window $1 did not take the focus"
    sleep 0.4
}

# keys KEY...: one key after the other, with time for the program to follow.
keys() {
    for key in "$@"; do
        xdotool key "$key"
        sleep 0.3
    done
}

typed() {
    xdotool type --delay 120 "$1"
    sleep 0.4
}

# click X Y [BUTTON]: a click at a point of the screen.
click() {
    xdotool mousemove "$1" "$2"
    sleep 0.2
    xdotool click "${3:-1}"
    sleep 0.5
}

# copied: what the focused control put on the clipboard at Ctrl+C (a message box gives its title,
# text and buttons, a list its current item).
copied() {
    printf '' | xclip -selection clipboard
    xdotool key ctrl+c
    sleep 0.5
    timeout 5 xclip -o -selection clipboard 2>/dev/null || true
}

shot() {
    mkdir -p "$SHOTS"
    import -window root "$SHOTS/$1.png"
}

# box TITLE-REGEX TEXT: the message box shows TEXT; it is read, pictured as NAME and closed.
box() {
    local id text
    id=$(window "$1" 30)
    focus "$id"
    text=$(copied)
    shot "$3"
    case "$text" in
        *"$2"*) ;;
        *) fail "the box '$1' says '$text', not '$2'" ;;
    esac
    keys Return
    gone "$1" 20
}

# origin WINDOW CLIENT-WIDTH CLIENT-HEIGHT: where its client area begins on the screen (CX, CY).
# Wine draws the frame of an unmanaged window inside it: as wide on the sides as below.
origin() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    local border=$(((WIDTH - $2) / 2))
    CX=$((X + border))
    CY=$((Y + HEIGHT - $3 - border))
}

# place TWIPS-X TWIPS-Y [BUTTON]: a click at a point of the client area, given in twips as the
# windows are laid out (15 to a pixel at 96 dpi, Xvfb's).
place() {
    click $((CX + $1 / 15)) $((CY + $2 / 15)) "${3:-1}"
}
