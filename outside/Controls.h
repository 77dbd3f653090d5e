#pragma once
// The ActiveX controls the window hosts, created at run time by ProgID: a plug-in's workspace
// control and the engineering-units control QtyUnits with its units objects.
#include <cstdint>

#include "automation/Event.h"
#include "automation/Variant.h"

namespace outside {

inline constexpr std::u16string_view kFallbackWorkspaceProgId = u"CEAQuilletUnknownWS.Workspace";
inline constexpr std::u16string_view kQtyUnitsProgId = u"QUCtl.QtyUnits";

class IPluginWorkspace : public automation::Object {
public:
    static constexpr std::u16string_view kIid = u"{EBE98ECD-B43D-11D4-8DD5-00C04F5CAAEE}";
    virtual automation::VBool NeedsUpload() = 0;
    // The control may replace the link.
    virtual automation::Variant AttachLink(automation::ObjectRef& link) = 0;
    virtual automation::VBool Upload() = 0;
};

class IPluginWorkspaceUnits : public automation::Object {
public:
    static constexpr std::u16string_view kIid = u"{87CE42D9-22ED-436C-B599-CC969BB9AADC}";
    virtual automation::VBool SupportsEngUnits() = 0;
    // The control may replace the units object.
    virtual automation::Variant ApplyEngUnits(automation::ObjectRef& units) = 0;
};

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
