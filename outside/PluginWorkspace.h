#pragma once
// What the system uses of a plug-in's workspace control, created at run time from its ProgID.
#include "automation/Variant.h"

namespace outside {

inline constexpr std::u16string_view kFallbackWorkspaceProgId = u"CEAQuilletUnknownWS.Workspace";

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

}  // namespace outside
