#include "win32/lang_fonts_win32.h"

#include <string>

#include "settings/lang_strings.h"

namespace zelo {

FontHandle makeFont(const char* face, int height, int escapement, int charSet) {
    return FontHandle(CreateFontA(
        height, 0, escapement, 0, FW_NORMAL, FALSE, FALSE, FALSE, static_cast<DWORD>(charSet),
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, face));
}

HFONT uiFont(const LangStrings& strings) {
    static struct {
        std::string face;
        int height = 0;
        int charSet = 0;
        FontHandle font;
    } shared;
    const std::string face = strings.text(Text::FontFace);
    const int height = strings.number(Text::FontHeight);
    const int charSet = strings.number(Text::FontCharSet);
    if (!shared.font || face != shared.face || height != shared.height ||
        charSet != shared.charSet) {
        shared.font = makeFont(face.c_str(), height, 0, charSet);
        shared.face = face;
        shared.height = height;
        shared.charSet = charSet;
    }
    return shared.font.get();
}

}  // namespace zelo
