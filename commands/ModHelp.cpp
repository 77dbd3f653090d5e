#include "commands/ModHelp.h"

#include "StringIds.h"
#include "common/MCommon.h"
#include "session/IQuilletMainForm.h"
#include "ui/Platform.h"

namespace ModHelp {
namespace {
constexpr std::uint32_t kHtmlHelpData = 0;
constexpr std::uintptr_t kWinHelpTabData = 3;  // the help-topics dialog's search tab
}  // namespace

BStr PluginHelpFile(const std::shared_ptr<IQuilletMainForm>& form) {
    if (!form) automation::RaiseObjectNotSet(u"MainForm");
    auto server = form->PluginServer();
    if (!server) automation::RaiseObjectNotSet(u"PluginServer");
    auto plugin = server->CurrentPlugin();
    if (!plugin) automation::RaiseObjectNotSet(u"CurrentPlugin");
    return plugin->HelpFile();
}

bool IsHtmlHelp(const BStr& sHelpFile) { return automation::UpperAscii(sHelpFile).find(u".CHM") != BStr::npos; }

bool HasPluginHelp(const BStr& sHelpFile) { return !sHelpFile.empty() && automation::UpperAscii(sHelpFile) != u"QUILLET.HLP"; }

void OpenHelpFile(std::intptr_t hwnd, const BStr& sHelpFile, const BStr& sPlugInDescription) {
    auto& platform = ui::CurrentPlatform();
    if (sHelpFile.empty()) {
        BStr text =
            MCommon::LoadResString(res::kMsgHelpPrefix) + sPlugInDescription + MCommon::LoadResString(res::kMsgHelpSuffix);
        platform.MsgBox(text, ui::mb::kOkOnly | ui::mb::kExclamation, sPlugInDescription);
        return;
    }
    // The viewers report a file they cannot open themselves; their answers are not needed.
    if (IsHtmlHelp(sHelpFile)) platform.HtmlHelpA(hwnd, ui::ToAnsi(sHelpFile), ui::help::kHtmlDisplayToc, kHtmlHelpData);
    else platform.WinHelpA(hwnd, ui::ToAnsi(sHelpFile), ui::help::kWinHelpTab, kWinHelpTabData);
}

}  // namespace ModHelp
