#pragma once
// The network-services device object of LNSNetServ that wraps the host's LNS device for the
// plug-in server and the workspace control.
#include <memory>

#include "automation/Collection.h"
#include "outside/Lns.h"

namespace outside {

inline constexpr std::u16string_view kNetServDeviceClsid = u"{E0DC8C70-B47A-4809-8F89-520F199C5B48}";

class INetServDevice : public automation::Object {
public:
    static constexpr std::u16string_view kIid = u"{4D54538C-2098-49D8-989B-A7F5A8047872}";
    virtual void Initialize(const std::shared_ptr<ILnsAppDevice>& appDevice, const std::shared_ptr<ILnsSystem>& system,
                            float& objSvrVersion, automation::VBool& supportsFileType2,
                            const std::shared_ptr<automation::Collection>& cpsRefNvs) = 0;
    virtual automation::VBool UploadDevice() = 0;
    virtual automation::VBool DownloadDevice() = 0;
};

// The device object's second interface: what the plug-in workspace control is given.
class INetServDeviceLink : public automation::Object {
public:
    static constexpr std::u16string_view kIid = u"{4C725D56-5B85-11D5-8DE3-00C04F5CAAEE}";
};

}  // namespace outside
