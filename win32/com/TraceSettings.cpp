#include "win32/com/TraceSettings.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "outside/Traced.h"

namespace win32::com {
namespace {

struct Settings {
    bool on = false;
    std::wstring file;
};

std::wstring Environment(const wchar_t* name) {
    wchar_t buf[MAX_PATH * 2] = {};
    DWORD n = GetEnvironmentVariableW(name, buf, static_cast<DWORD>(std::size(buf)));
    return n > 0 && n < std::size(buf) ? std::wstring(buf, n) : std::wstring();
}

Settings Read() {
    Settings s;
    const std::wstring env = Environment(L"QUILLET_TRACE");
    if (!env.empty()) {
        s.on = env != L"0";
        s.file = Environment(L"QUILLET_TRACE_FILE");
        return s;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kTraceKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return s;
    DWORD value = 0, size = sizeof value, type = 0;
    s.on = RegQueryValueExW(key, L"Trace", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && value != 0;
    wchar_t path[MAX_PATH * 2] = {};
    size = sizeof path - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"TraceFile", nullptr, &type, reinterpret_cast<BYTE*>(path), &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ))
        s.file = path;
    RegCloseKey(key);
    return s;
}

// The file stays open while the trace writes to it; each line is flushed, so a host that ends
// abruptly leaves every record before that.
std::FILE* g_file = nullptr;
std::wstring g_fileName;

void Sink(const std::string& line) {
    OutputDebugStringA(("LNSQuilletVexaProxy: " + line + "\n").c_str());
    if (!g_file) return;
    std::fputs(line.c_str(), g_file);
    std::fputc('\n', g_file);
    std::fflush(g_file);
}

}  // namespace

void ApplyTraceSettings() {
    const Settings s = Read();
    if (s.file != g_fileName || !s.on) {
        if (g_file) std::fclose(g_file);
        g_file = nullptr;
        g_fileName.clear();
    }
    if (!s.on) {
        outside::DisableTrace();
        return;
    }
    if (!s.file.empty() && !g_file) {
        g_file = _wfopen(s.file.c_str(), L"ab");
        if (g_file) g_fileName = s.file;
    }
    if (!automation::trace::On()) outside::EnableTrace(Sink);
}

}  // namespace win32::com
