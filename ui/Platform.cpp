#include "ui/Platform.h"

#include "automation/Error.h"

namespace ui {
namespace {
std::shared_ptr<Platform>& Slot() {
    static std::shared_ptr<Platform> platform;
    return platform;
}
}  // namespace

Platform& CurrentPlatform() {
    auto& p = Slot();
    if (!p) automation::Raise(automation::code::kFail, u"No user-interface platform is installed");
    return *p;
}

void InstallPlatform(std::shared_ptr<Platform> platform) { Slot() = std::move(platform); }
std::shared_ptr<Platform> InstalledPlatform() { return Slot(); }

const char* PumpPointName(PumpPoint p) {
    switch (p) {
        case PumpPoint::DoEvents: return "DoEvents";
        case PumpPoint::Show: return "Show";
        case PumpPoint::Modal: return "Modal";
        case PumpPoint::MessageBox: return "MessageBox";
        case PumpPoint::Sleep: return "Sleep";
    }
    return "?";
}

std::string ToAnsi(const BStr& text) {
    auto& p = CurrentPlatform();
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        std::int32_t code = p.AnsiCode(c);
        if (code > 0xFF) {
            out += static_cast<char>((code >> 8) & 0xFF);
            out += static_cast<char>(code & 0xFF);
        } else {
            out += static_cast<char>(code);
        }
    }
    return out;
}

}  // namespace ui
