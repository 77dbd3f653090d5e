#pragma once
// The plug-in server LNSPIServer: finds the device's plug-in, its features, help and workspace control.
#include <cstdint>
#include <memory>
#include <vector>

#include "automation/Collection.h"
#include "automation/Event.h"
#include "outside/NetServDevice.h"

namespace outside {

inline constexpr std::u16string_view kPluginServerClsid = u"{A92F83C3-5024-4537-8C26-5226B0E26A1C}";

class IFeature : public automation::Object {
public:
    virtual std::int16_t Id() = 0;
    virtual BStr Caption() = 0;  // may hold an "&" marker
};

class IFeatureList : public automation::Object {
public:
    virtual std::int16_t Count() = 0;
    // The feature with that id; an absent id is an error.
    virtual std::shared_ptr<IFeature> Item(std::int16_t featureId) = 0;
    // In list order.
    virtual std::vector<std::shared_ptr<IFeature>> Features() = 0;
};

// The server's description of one plug-in.
class IPluginEntry : public automation::Object {
public:
    virtual BStr HelpFile() = 0;                                  // empty when the plug-in has none
    virtual std::shared_ptr<automation::Collection> Items() = 0;  // none when absent
};

struct PluginServerEvents {
    automation::Event<> RequestDownload;
    automation::Event<> RequestUpload;
    automation::Event<const BStr&> WorkspaceAvailable;  // ProgID of the workspace control
};

class IPluginServer : public automation::Object {
public:
    static constexpr std::u16string_view kIid = u"{4846498C-B2DE-4BC7-A67C-BFB32309B49B}";

    // The take-device call. The server may replace the feature collection.
    virtual automation::VBool LoadDevice(const automation::Variant& device, std::shared_ptr<automation::Collection>& features,
                                         automation::VBool flag, automation::VBool isLnsPi) = 0;
    virtual void SetFeatureWindowAppearance(const BStr& caption, const automation::ObjectRef& icon) = 0;
    virtual void LaunchFeature(std::int16_t featureId, std::int32_t ownerWindow) = 0;
    virtual std::shared_ptr<IFeatureList> FeatureList() = 0;
    virtual std::shared_ptr<IPluginEntry> CurrentPlugin() = 0;
    virtual std::shared_ptr<INetServDevice> CurrentDevice() = 0;
    virtual std::shared_ptr<IPluginEntry> PluginForProgramID(const BStr& programId) = 0;
    virtual void Reset() = 0;
    virtual void Clear() = 0;

    virtual PluginServerEvents& Events() = 0;
};

}  // namespace outside
