#pragma once
// Common services: captions from the string table, text and hex conversions, the device
// communication probe and the list views' column-width text.
#include <cstdint>
#include <memory>
#include <string_view>

#include "automation/Variant.h"
#include "outside/Lns.h"
#include "ui/Window.h"

namespace MCommon {

using automation::BStr;
using automation::VBool;

// The string-table entry of an id, from the platform's resources; a missing id is an error.
BStr LoadResString(std::int32_t id);

// Replaces every authored "id:fallback" caption of the window's controls, in control order, by
// the string-table text. A missing id ends the pass with an error; controls already visited keep
// their new captions. With bSetIcon the window gets icon 101 first.
void LoadFormResources(ui::Window& form, bool bSetIcon);
void ApplyResCaption(ui::Control& ctl);
// The id before the first colon read as a lenient number, rounded (ties to even); -1 without colon.
std::int32_t GetResId(std::u16string_view text);

automation::Variant StrToBytStr(const BStr& text);
BStr BinToStr(const automation::Variant& value);
BStr FormatNeuronID(const BStr& text);
BStr FormatProgramID(const BStr& text);
// True when reading the device's state raises no error; never fails.
VBool ProbeDeviceCommunication(const std::shared_ptr<outside::ILnsAppDevice>& oLnsAppDevice);

// Reading (bApply false) writes every header width followed by ","; applying consumes the text,
// one entry per header, leaving a header unchanged where its entry is missing or not a number.
void ColumnWidthsText(ui::ListView& lvw, bool bApply, BStr& sWidths);

}  // namespace MCommon
