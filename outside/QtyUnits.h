#pragma once
// The engineering-units control QtyUnits and its units objects.
#include <cstdint>

#include "automation/Event.h"
#include "automation/Variant.h"

namespace outside {

inline constexpr std::u16string_view kQtyUnitsProgId = u"QUCtl.QtyUnits";

class IQtyUnitsControl : public automation::Object {
public:
    // Reached through its plain dispatch interface, by dispatch id.
    static constexpr std::u16string_view kIid = u"{00020400-0000-0000-C000-000000000046}";
    static constexpr std::int32_t kFlagDispId = 0x68030000;
    static constexpr std::int32_t kApplyDispId = 0x6003000b;
    static constexpr int kUnitsAppliedEvent = 9;
    static constexpr int kCloseRequestEvent = 10;

    virtual void SetFlag(automation::VBool value) = 0;  // the property with id kFlagDispId
    virtual void Apply() = 0;                           // the operation with id kApplyDispId

    automation::Event<const automation::ObjectRef&> UnitsApplied;  // event position 9
    automation::Event<> CloseRequest;                              // event position 10
};

}  // namespace outside
