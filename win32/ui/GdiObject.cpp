#include "win32/ui/GdiObject.h"

#include "win32/ui/Win32Platform.h"

namespace win32 {
namespace {
long g_live = 0, g_process = 0;
}  // namespace

long LiveGdiObjects() { return g_live; }
long ProcessGdiObjects() { return g_process; }

namespace backend {

GdiObject::GdiObject(Type type, void* handle, bool processWide) : type_(type), processWide_(processWide), handle_(handle) {
    if (handle_) ++(processWide_ ? g_process : g_live);
}

GdiObject& GdiObject::operator=(GdiObject&& o) noexcept {
    if (this != &o) {
        Reset();
        type_ = o.type_;
        processWide_ = o.processWide_;
        handle_ = std::exchange(o.handle_, nullptr);
    }
    return *this;
}

void GdiObject::Reset() {
    void* h = std::exchange(handle_, nullptr);
    if (!h) return;
    switch (type_) {
        case Type::Font:
        case Type::Brush:
        case Type::Bitmap: DeleteObject(static_cast<HGDIOBJ>(h)); break;
        case Type::Icon: DestroyIcon(static_cast<HICON>(h)); break;
        case Type::ImageList: ImageList_Destroy(static_cast<HIMAGELIST>(h)); break;
    }
    --(processWide_ ? g_process : g_live);
}

}  // namespace backend
}  // namespace win32
