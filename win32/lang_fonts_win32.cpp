#include "win32/lang_fonts_win32.h"

namespace zelo {

HFONT makeFont(const char* face, int height, int escapement, int charSet) {
    return CreateFontA(height, 0, escapement, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       static_cast<DWORD>(charSet), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       PROOF_QUALITY, 0x31, face);
}

}  // namespace zelo
