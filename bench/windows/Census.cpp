#include "Census.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "win32/ui/WindowText.h"

namespace bench {
namespace {

using win32::ClassOf;
using win32::TextOf;

std::wstring Detail(HWND w, const std::wstring& cls) {
    if (cls == WC_LISTVIEWW) {
        HWND header = reinterpret_cast<HWND>(SendMessageW(w, LVM_GETHEADER, 0, 0));
        return std::to_wstring(header ? SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) : 0) + L" columns";
    }
    if (cls == WC_TREEVIEWW) return std::to_wstring(SendMessageW(w, TVM_GETCOUNT, 0, 0)) + L" nodes";
    if (cls == STATUSCLASSNAMEW) return std::to_wstring(SendMessageW(w, SB_GETPARTS, 0, 0)) + L" panels";
    return {};
}

void Walk(HWND w, int depth, Census& out) {
    const std::wstring cls = ClassOf(w);
    RECT r{};
    GetWindowRect(w, &r);
    if (HWND parent = GetParent(w); parent && depth > 0) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    out.windows.push_back({depth, cls, TextOf(w), IsWindowVisible(w) != FALSE, Detail(w, cls), r});
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) Walk(c, depth + 1, out);
}

void WalkMenu(HMENU menu, int depth, Census& out) {
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        out.menu.push_back(std::wstring(static_cast<std::size_t>(depth) * 2, L' ') + text);
        if (HMENU sub = GetSubMenu(menu, i)) WalkMenu(sub, depth + 1, out);
    }
}

struct Owned {
    HWND owner;
    Census* out;
};

BOOL CALLBACK CollectOwned(HWND w, LPARAM p) {
    auto* o = reinterpret_cast<Owned*>(p);
    if (GetWindow(w, GW_OWNER) == o->owner) Walk(w, 1, *o->out);
    return TRUE;
}

}  // namespace

std::string Utf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::map<std::wstring, int> Census::Counts() const {
    std::map<std::wstring, int> counts;
    // Each side's own classes count by what they are, not by whose they are.
    auto kind = [](const std::wstring& cls) {
        for (const wchar_t* own : {L"QuilletVexa", L"QuilletBare"})
            if (cls.rfind(own, 0) == 0) return L"own " + cls.substr(std::wcslen(own));
        return cls;
    };
    for (std::size_t i = 0; i < windows.size(); ++i) ++counts[kind(windows[i].cls)];
    for (const auto& m : menu) ++counts[L"menu: " + m];
    return counts;
}

Census Take(HWND main) {
    Census c;
    if (!main) return c;
    Walk(main, 0, c);
    Owned o{main, &c};
    EnumThreadWindows(GetCurrentThreadId(), CollectOwned, reinterpret_cast<LPARAM>(&o));
    if (HMENU m = GetMenu(main)) WalkMenu(m, 0, c);
    return c;
}

void Print(const Census& c, const char* title) {
    std::printf("%s: %zu windows\n", title, c.windows.size());
    for (const auto& w : c.windows)
        std::printf("%*s%s \"%s\" (%ld,%ld %ldx%ld)%s%s%s\n", w.depth * 2 + 2, "", Utf8(w.cls).c_str(), Utf8(w.text).c_str(),
                    w.place.left, w.place.top, w.place.right - w.place.left, w.place.bottom - w.place.top,
                    w.visible ? "" : " (hidden)", w.detail.empty() ? "" : ", ", Utf8(w.detail).c_str());
    std::printf("  menu:\n");
    for (const auto& m : c.menu) std::printf("    %s\n", Utf8(m).c_str());
    if (!c.calls.empty()) {
        std::wstring calls = c.calls;
        std::replace(calls.begin(), calls.end(), L'\n', L' ');
        std::printf("  calls: %s\n", Utf8(calls).c_str());
    }
}

std::vector<std::string> Differences(const Census& dll, const Census& bare) {
    std::vector<std::string> out;
    auto a = dll.Counts(), b = bare.Counts();
    for (auto& [cls, n] : a)
        if (b[cls] != n) out.push_back(Utf8(cls) + ": DLL " + std::to_string(n) + ", baseline " + std::to_string(b[cls]));
    for (auto& [cls, n] : b)
        if (!a.count(cls)) out.push_back(Utf8(cls) + ": DLL 0, baseline " + std::to_string(n));
    return out;
}

}  // namespace bench
