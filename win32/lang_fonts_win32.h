#pragma once
// Fonts for the language-dependent texts (face, height and character set
// come from the string table).

#include <windows.h>

namespace zelo {

// A fixed-pitch "modern" font of normal weight with proof quality. The
// caller owns it and deletes it when its window closes.
HFONT makeFont(const char* face, int height, int escapement, int charSet);

}  // namespace zelo
