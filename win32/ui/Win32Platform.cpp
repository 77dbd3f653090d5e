#include "win32/ui/Win32Platform.h"

#include "win32/ui/Backend.h"

namespace win32 {

std::shared_ptr<ui::Platform> InstallWin32Platform(HINSTANCE module) {
    auto existing = ui::InstalledPlatform();
    if (existing && dynamic_cast<backend::Backend*>(existing.get())) return existing;
    auto platform = std::make_shared<backend::Backend>(module);
    ui::InstallPlatform(platform);
    return platform;
}

}  // namespace win32
