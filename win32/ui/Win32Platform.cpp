#include "win32/ui/Win32Platform.h"

#include "win32/ui/Backend.h"

namespace win32 {
namespace {

// A reference of our own that no static destructor drops: the ui layer's slot may be destroyed
// at DLL unload, and the platform must then outlive it.
std::shared_ptr<ui::Platform>*& Kept() {
    static std::shared_ptr<ui::Platform>* kept = nullptr;
    return kept;
}

}  // namespace

std::shared_ptr<ui::Platform> InstallWin32Platform(HINSTANCE module) {
    auto existing = ui::InstalledPlatform();
    if (existing && dynamic_cast<backend::Backend*>(existing.get())) return existing;
    auto platform = std::make_shared<backend::Backend>(module);
    ui::InstallPlatform(platform);
    delete Kept();
    Kept() = new std::shared_ptr<ui::Platform>(platform);
    return platform;
}

void ReleaseWin32Platform() {
    auto* kept = Kept();
    if (!kept) return;
    Kept() = nullptr;
    if (ui::InstalledPlatform() == *kept) ui::InstallPlatform(nullptr);
    delete kept;
}

}  // namespace win32
