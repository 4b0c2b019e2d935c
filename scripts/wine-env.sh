# Sourced by the scripts that run Windows programs: a private Wine prefix
# under the build directory, no Mono/Gecko prompts, no debug noise, and the
# prefix prepared once (window manager off, Japanese font replacements, the
# Marlett symbol font in C:\windows\Fonts).
ZELO_ROOT=${ZELO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$ZELO_ROOT/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Bumped whenever the preparation below changes, so that existing prefixes
# are prepared again.
ZELO_WINE_READY=.zelo-ready-2

# Window captions draw their minimise, maximise and close glyphs with the
# Marlett font. Debian's Wine 8 looks for its own fonts (package fonts-wine,
# /usr/share/wine/fonts) at Z:\usr\share\wine\..\fonts, a path it cannot
# open, so it sees only C:\windows\Fonts (empty in a new prefix) and the
# fontconfig fonts; Marlett then falls back to an ordinary face and the
# caption buttons show the letters "0", "1" and "r". A copy of marlett.ttf in
# the prefix's font folder is found by every Wine build.
zelo_wine_install_marlett() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" dir
    [ -f "$fonts/marlett.ttf" ] && return 0
    for dir in /usr/share/wine/fonts /usr/lib/wine/fonts /usr/local/share/wine/fonts \
               /opt/wine-stable/share/wine/fonts; do
        if [ -f "$dir/marlett.ttf" ]; then
            mkdir -p "$fonts"
            cp "$dir/marlett.ttf" "$fonts/marlett.ttf"
            return 0
        fi
    done
    echo "wine-env: marlett.ttf not found (package fonts-wine); caption buttons will show letters" >&2
    return 0
}

zelo_wine_prepare() {
    [ -f "$WINEPREFIX/$ZELO_WINE_READY" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    local face
    for face in 'MS UI Gothic' 'MS Gothic' 'MS PGothic' 'MS Mincho' 'MS PMincho'; do
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAGothic /f >/dev/null 2>&1
    done
    zelo_wine_install_marlett
    wineserver -w
    rm -f "$WINEPREFIX"/.zelo-ready*
    touch "$WINEPREFIX/$ZELO_WINE_READY"
}

# Runs the calling script again inside an Xvfb of its own, once. Call it as
# zelo_in_xvfb "$0" "$@" before anything needs a display.
zelo_in_xvfb() {
    [ -n "${ZELO_IN_XVFB:-}" ] && return 0
    export ZELO_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
}

# Runs one Windows program that prints figures, with the wineserver kept up
# for it and stopped afterwards; the program's exit status.
zelo_wine_figures() {
    local status=0
    wineserver -p </dev/null >/dev/null 2>&1
    wine "$@" </dev/null || status=$?
    wineserver -k >/dev/null 2>&1 || true
    return $status
}

# The number of top-level windows on the display.
zelo_window_count() { xwininfo -root -children 2>/dev/null | grep -c '^ *0x' || true; }

# Waits (10 s at most) until a window whose line in the window tree matches
# the grep pattern $1 shows; with $2 = gone, until none does.
zelo_wait_window() {
    local _
    for _ in $(seq 1 100); do
        if xwininfo -root -tree 2>/dev/null | grep -q "$1"; then
            [ "${2:-}" = gone ] || return 0
        elif [ "${2:-}" = gone ]; then
            return 0
        fi
        sleep 0.1
    done
    echo "${0##*/}: $([ "${2:-}" = gone ] && echo "a window still matches" || echo "no window matches") $1" >&2
    return 1
}

# Waits (10 s at most) until there are more than $1 top-level windows ($2
# names what should have opened one).
zelo_wait_more_windows() {
    local _
    for _ in $(seq 1 100); do
        [ "$(zelo_window_count)" -gt "$1" ] && return 0
        sleep 0.1
    done
    echo "${0##*/}: no new window${2:+ after $2}" >&2
    return 1
}
