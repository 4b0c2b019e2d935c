# Sourced by the scripts that run Windows programs: a private Wine prefix
# under the build directory, no Mono/Gecko prompts, no debug noise, and the
# prefix prepared once (window manager off, Japanese font replacements).
ZELO_ROOT=${ZELO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$ZELO_ROOT/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

zelo_wine_prepare() {
    [ -f "$WINEPREFIX/.zelo-ready" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    local face
    for face in 'MS UI Gothic' 'MS Gothic' 'MS PGothic' 'MS Mincho' 'MS PMincho'; do
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAGothic /f >/dev/null 2>&1
    done
    wineserver -w
    touch "$WINEPREFIX/.zelo-ready"
}
