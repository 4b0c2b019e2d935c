#include "win32/image_list_win32.h"

#include "directory/model_table.h"
#include "resources/resource_ids.h"

namespace zelo {
namespace {

HICON smallIcon(HINSTANCE instance, LPCSTR name) {
    return static_cast<HICON>(LoadImageA(instance, name, IMAGE_ICON, 16, 16, LR_SHARED));
}

}  // namespace

HIMAGELIST buildImageList(HINSTANCE instance) {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, kImageCount, 0);
    if (!list) return nullptr;
    ImageList_AddIcon(list, smallIcon(nullptr, IDI_INFORMATION));
    ImageList_AddIcon(list, smallIcon(instance, MAKEINTRESOURCEA(IDI_PROGRAM)));
    ImageList_AddIcon(list, smallIcon(instance, MAKEINTRESOURCEA(IDI_GROUP)));
    for (int code = 3; code < kImageCount; ++code) {
        ImageList_AddIcon(list,
                          smallIcon(instance, MAKEINTRESOURCEA(modelInfo(code).iconResource)));
    }
    return list;
}

}  // namespace zelo
