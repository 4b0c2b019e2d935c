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
