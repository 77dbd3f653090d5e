#pragma once
// One owner for each graphics object the backend creates (fonts, brushes, bitmaps, icons, image
// lists): the owner deletes it, and a process-wide count shows what is still alive.
#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace win32::backend {

class GdiObject {
public:
    enum class Type { Font, Brush, Bitmap, Icon, ImageList };

    GdiObject() = default;
    // Takes ownership; a null handle gives an empty owner. An object the process keeps (shared
    // by every window, deleted with the backend) is counted apart from the windows' own.
    GdiObject(Type type, void* handle, bool processWide = false);
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& o) noexcept
        : type_(o.type_), processWide_(o.processWide_), handle_(std::exchange(o.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept;
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    void Reset();
    explicit operator bool() const { return handle_ != nullptr; }
    HFONT Font() const { return static_cast<HFONT>(handle_); }
    HBRUSH Brush() const { return static_cast<HBRUSH>(handle_); }
    HBITMAP Bitmap() const { return static_cast<HBITMAP>(handle_); }
    HICON Icon() const { return static_cast<HICON>(handle_); }
    HIMAGELIST ImageList() const { return static_cast<HIMAGELIST>(handle_); }

private:
    Type type_ = Type::Font;
    bool processWide_ = false;
    void* handle_ = nullptr;
};

}  // namespace win32::backend
