#pragma once
// An inventory of the windows a display session leaves on the screen: every descendant of the main
// window (shown or not), the pop-ups it owns and its menu bar. Compares the DLL's window with the
// bare baseline's so that both sides of the benchmark are known to build the same thing.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

struct WindowEntry {
    int depth = 0;
    std::wstring cls;
    std::wstring text;
    bool visible = false;
    std::wstring detail;  // columns, parts, items of the common controls
    RECT place{};         // in the parent's client area
};

struct Census {
    std::vector<WindowEntry> windows;
    std::vector<std::wstring> menu;
    std::wstring calls;  // what the simulated components were asked, one call a line  // "  item" per level of nesting, hidden
                         // items are absent
    // Windows by class, and menu entries as one more "class".
    std::map<std::wstring, int> Counts() const;
};

Census Take(HWND main);
void Print(const Census& c, const char* title);
// The differences of two inventories by class (and menu text); empty when they match.
std::vector<std::string> Differences(const Census& dll, const Census& bare);

std::string Utf8(const std::wstring& s);

}  // namespace bench
