#include "win32/com/ServerModule.h"

#include <vector>

#include "automation/ComponentFactory.h"
#include "session/MMain.h"
#include "win32/adapters/Adapters.h"
#include "win32/ui/Win32Platform.h"

namespace win32::com {
namespace {

HINSTANCE g_module = nullptr;
LiveCount g_objects;
LiveCount g_locks;
bool g_platformReady = false;

}  // namespace

void ServerModule::SetInstance(HINSTANCE module) { g_module = module; }
HINSTANCE ServerModule::Instance() { return g_module; }

std::wstring ServerModule::Path() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(g_module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

LiveCount& ServerModule::Objects() { return g_objects; }
LiveCount& ServerModule::Locks() { return g_locks; }

bool ServerModule::CanUnload() {
    if (g_objects.Now() != 0 || g_locks.Now() != 0) return false;
    // A display whose host let go of the object stays open until its user closes it.
    const auto& window = MMain::MainWindow();
    if (window) return window->IsUnloaded();
    return !MMain::MainForm();
}

bool ServerModule::ReleaseIfUnused() {
    if (!CanUnload()) return false;
    MMain::ReleaseOutsideObjects();
    g_platformReady = false;
    automation::Components().SetFallback(nullptr);
    win32::ReleaseWin32Platform();
    // A release may have run outside code that called us again. Wrappers, enumerators and event
    // sinks we handed out may still be held by other components, the ones just released aside.
    return CanUnload() && !MMain::HoldsOutsideObjects() && win32::adapters::LiveComObjects() == 0;
}

void ServerModule::EnsurePlatform() {
    if (g_platformReady) return;
    win32::InstallWin32Platform(g_module);
    win32::adapters::InstallComFactory();
    g_platformReady = true;
}

HRESULT ServerModule::LoadTypeLibrary(ITypeLib** lib) {
    if (!lib) return E_POINTER;
    *lib = nullptr;
    std::wstring path = Path();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib);
}

}  // namespace win32::com
