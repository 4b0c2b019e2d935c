#pragma once
// The 16 x 16 icons shared by the group tree and the device list. An entry's
// index is the node kind it stands for: 0 information, 1 the program, 2 a
// group, 3 to 13 the device model of that code.

#include <windows.h>

#include <commctrl.h>

namespace zelo {

inline constexpr int kImageCount = 14;

// The list, or null when it cannot be made. The caller destroys it.
HIMAGELIST buildImageList(HINSTANCE instance);

}  // namespace zelo
