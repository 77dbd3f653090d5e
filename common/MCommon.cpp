#include "common/MCommon.h"

#include <cmath>
#include <exception>
#include <limits>
#include <vector>

#include "automation/NumberText.h"
#include "ui/Platform.h"

namespace MCommon {
namespace {
namespace code = automation::code;

constexpr int kIconResourceId = 101;

[[noreturn]] void Overflow() { automation::Raise(code::kOverflow, u"Overflow"); }

// Nearest whole number, halves to the even neighbour, independent of the FPU rounding mode.
double RoundHalfEven(double v) {
    double lower = std::floor(v);
    double diff = v - lower;
    if (diff > 0.5) return lower + 1;
    if (diff < 0.5) return lower;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

// The text an authored caption becomes: the string-table entry of its id, or itself.
// Returns false when the caption carries no id.
bool ResolvedCaption(const BStr& authored, BStr& result) {
    std::int32_t id = GetResId(authored);
    if (id < std::numeric_limits<std::int16_t>::min() || id > std::numeric_limits<std::int16_t>::max()) Overflow();
    if (id < 0) return false;
    result = LoadResString(id);
    return true;
}

// The characters from 1-based position `start`, at most `count`; nothing past the end.
// Characters start.. (1-based) of the text, as many as there are up to count.
std::u16string_view Mid(std::u16string_view text, std::size_t start, std::size_t count) {
    if (start < 1 || start > text.size()) return {};
    return text.substr(start - 1, count);
}
}  // namespace

BStr LoadResString(std::int32_t id) { return ui::CurrentPlatform().LoadResString(id); }

void LoadFormResources(ui::Window& form, bool bSetIcon) {
    if (bSetIcon) form.SetIcon(kIconResourceId);
    // Walk a copy: a peer that reacts to a caption change may change the window's list.
    const std::vector<ui::ControlRef> controls = form.Controls();
    for (const auto& c : controls) ApplyResCaption(*c);
}

void ApplyResCaption(ui::Control& ctl) {
    BStr text;
    switch (ctl.GetKind()) {
        case ui::Kind::Label:
        case ui::Kind::CommandButton:
        case ui::Kind::Frame:
        case ui::Kind::MenuItem:
        case ui::Kind::OptionButton:
        case ui::Kind::CheckBox:
            if (ResolvedCaption(ctl.Caption(), text)) ctl.SetCaption(std::move(text));
            break;
        case ui::Kind::ListView:
            if (auto* lvw = dynamic_cast<ui::ListView*>(&ctl))
                for (int i = 1; i <= lvw->ColumnCount(); ++i)
                    if (ResolvedCaption(lvw->Column(i).text, text)) lvw->SetColumnText(i, std::move(text));
            break;
        case ui::Kind::StatusBar:
            if (auto* sta = dynamic_cast<ui::StatusBar*>(&ctl))
                for (int i = 1; i <= sta->PanelCount(); ++i) {
                    if (ResolvedCaption(sta->GetPanel(i).toolTipText, text)) sta->SetPanelToolTip(i, std::move(text));
                    if (ResolvedCaption(sta->GetPanel(i).text, text)) sta->SetPanelText(i, std::move(text));
                }
            break;
        case ui::Kind::TabbedDialog:
            if (auto* tab = dynamic_cast<ui::TabbedDialog*>(&ctl))
                for (int i = 0; i < tab->Tabs(); ++i)
                    if (ResolvedCaption(tab->TabCaption(i), text)) tab->SetTabCaption(i, std::move(text));
            break;
        default: break;
    }
}

std::int32_t GetResId(std::u16string_view text) {
    auto colon = text.find(u':');
    if (colon == std::u16string_view::npos) return -1;
    // The reader skips blanks anywhere, so no trimming is needed first.
    double v = RoundHalfEven(automation::ReadNumber(text.substr(0, colon)).value);
    if (!(v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())) Overflow();
    return static_cast<std::int32_t>(v);
}

automation::Variant StrToBytStr(const BStr& text) {
    auto& platform = ui::CurrentPlatform();
    automation::ByteArray bytes(text.size() + 1, 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::int32_t ansi = platform.AnsiCode(text[i]);
        if (ansi < 0 || ansi > 0xFF) Overflow();
        bytes[i] = static_cast<std::uint8_t>(ansi);
    }
    return automation::Variant(std::move(bytes));
}

BStr BinToStr(const automation::Variant& value) {
    // Failures are counted, not passed on; the second one gives up with the empty text.
    int failures = 0;
    auto giveUp = [&failures] { return ++failures >= 2; };
    const automation::ByteArray* bytes = nullptr;
    ui::Platform* platform = nullptr;
    // Whatever a step lets out, standard or not, counts as its failure: this never fails.
    try {
        bytes = &value.AsBytes();
    } catch (...) {
        if (giveUp()) return {};
    }
    try {
        platform = &ui::CurrentPlatform();
    } catch (...) {
        if (giveUp()) return {};
    }
    // Walking the bounds of what is not an array fails as well.
    if (!bytes || !platform) return {};
    try {
        BStr out;
        for (std::uint8_t b : *bytes) {
            if (b == 0) break;
            out += platform->AnsiChar(b);
        }
        return out;
    } catch (...) {
        return {};
    }
}

BStr FormatNeuronID(const BStr& text) {
    BStr out;
    out.reserve(text.size() + text.size() / 2);  // one allocation: the result
    out += Mid(text, 1, 2);
    for (std::size_t p = 3; p + 1 <= text.size(); p += 2) {
        out += u'-';
        out += Mid(text, p, 2);
    }
    return out;
}

BStr FormatProgramID(const BStr& text) {
    BStr out;
    out.reserve(19);
    out += Mid(text, 1, 6);
    out += u'-';
    out += Mid(text, 7, 4);
    out += u'-';
    out += Mid(text, 11, 4);
    out += u'-';
    out += Mid(text, 15, 2);
    return out;
}

VBool ProbeDeviceCommunication(const std::shared_ptr<outside::ILnsAppDevice>& oLnsAppDevice) {
    if (!oLnsAppDevice) return automation::kFalse;
    try {
        (void)oLnsAppDevice->State();
        return automation::kTrue;
    } catch (const automation::Error& e) {
        automation::trace::Ignored(e);  // the answer is the probe's result
        return automation::kFalse;
    } catch (...) {  // any failure, of any runtime, means the device does not answer
        return automation::kFalse;
    }
}

void ColumnWidthsText(ui::ListView& lvw, bool bApply, BStr& sWidths) {
    if (!bApply) {
        sWidths.clear();
        for (int i = 1; i <= lvw.ColumnCount(); ++i) sWidths += automation::SingleText(lvw.Column(i).width) + u",";
        return;
    }
    for (int i = 1; i <= lvw.ColumnCount(); ++i) {
        auto comma = sWidths.find(u',');
        if (comma == BStr::npos) continue;
        auto entry = automation::ReadNumber(std::u16string_view(sWidths).substr(0, comma));
        sWidths.erase(0, comma + 1);
        // A width only when the whole entry is one number that fits a non-negative float: a blank,
        // "12abc", a negative or an overflowing entry keeps the header's width.
        if (entry.complete && entry.value >= 0 && entry.value <= std::numeric_limits<float>::max())
            lvw.SetColumnWidth(i, static_cast<float>(entry.value));
    }
}

}  // namespace MCommon
