#pragma once
// Fonts for the language-dependent texts (face, height and character set
// come from the string table).

#include <windows.h>

#include <memory>
#include <type_traits>

namespace zelo {

class LangStrings;

struct FontDeleter {
    void operator()(HFONT font) const noexcept { DeleteObject(font); }
};
// A font freed by its owner going away.
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// A fixed-pitch "modern" font of normal weight with proof quality.
FontHandle makeFont(const char* face, int height, int escapement, int charSet);

// The interface font of the active language (FontFace, FontHeight,
// FontCharSet), one for every window: built at the first call, and built
// anew (the old one freed) only when the strings give another face, height
// or character set, as after a start in another language. The windows that
// use it never free it.
HFONT uiFont(const LangStrings& strings);

}  // namespace zelo
