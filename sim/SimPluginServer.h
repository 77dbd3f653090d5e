#pragma once
// The plug-in server: picks the plug-in by the program id of the device it is given, makes it the
// current plug-in, announces its workspace control and launches its features.
#include <optional>
#include <vector>

#include "outside/PluginServer.h"
#include "sim/SimComponent.h"

namespace sim {

class SimFeatureList;
class SimPluginEntry;

class SimPluginServer : public outside::IPluginServer, public SimComponent {
public:
    explicit SimPluginServer(const std::shared_ptr<SimWorld>& world);

    automation::VBool LoadDevice(const automation::Variant& device, std::shared_ptr<automation::Collection>& features,
                                 automation::VBool flag, automation::VBool isLnsPi) override;
    void SetFeatureWindowAppearance(const BStr& caption, const automation::ObjectRef& icon) override;
    void LaunchFeature(std::int16_t featureId, std::int32_t ownerWindow) override;
    // With no current plug-in: an empty list.
    std::shared_ptr<outside::IFeatureList> FeatureList() override;
    std::shared_ptr<outside::IPluginEntry> CurrentPlugin() override;  // none without a current plug-in
    std::shared_ptr<outside::INetServDevice> CurrentDevice() override;
    std::shared_ptr<outside::IPluginEntry> PluginForProgramID(const BStr& programId) override;
    void Reset() override;
    void Clear() override;
    outside::PluginServerEvents& Events() override { return events_; }

    // Raise a notification the way a server does: a subscriber's error goes back to the server,
    // which drops it. Each answers whether every subscriber completed.
    bool RaiseRequestUpload();
    bool RaiseRequestDownload();
    bool RaiseWorkspaceAvailable(const BStr& workspaceProgId);
    bool AnnounceWorkspace();  // the current plug-in's control; false without a current plug-in

    // What the server was given.
    struct Launch {
        std::int16_t featureId;
        std::int32_t ownerWindow;
    };
    const std::vector<Launch>& Launches() const { return launches_; }
    const BStr& FeatureWindowCaption() const { return featureWindowCaption_; }
    const automation::ObjectRef& FeatureWindowIcon() const { return featureWindowIcon_; }
    automation::VBool LastLoadFlag() const { return lastLoadFlag_; }
    automation::VBool LastLoadIsLnsPi() const { return lastLoadIsLnsPi_; }
    const std::optional<PluginConfig>& Current() const { return current_; }
    const automation::ObjectRef& Device() const { return device_; }  // the current plug-in's device object
    int DroppedSubscriberErrors() const { return droppedErrors_; }

private:
    template <class Raise>
    bool Deliver(Raise&& raise);
    void ForgetCurrent();

    outside::PluginServerEvents events_;
    std::optional<PluginConfig> current_;
    std::shared_ptr<SimFeatureList> featureList_;
    std::shared_ptr<SimPluginEntry> entry_;
    automation::ObjectRef device_;
    std::vector<Launch> launches_;
    BStr featureWindowCaption_;
    automation::ObjectRef featureWindowIcon_;
    automation::VBool lastLoadFlag_ = automation::kFalse;
    automation::VBool lastLoadIsLnsPi_ = automation::kFalse;
    int droppedErrors_ = 0;
};

}  // namespace sim
