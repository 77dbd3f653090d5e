#pragma once
// The plug-in server and the objects it hands out: features, their list and plug-in entries.
#include <optional>
#include <vector>

#include "outside/PluginServer.h"
#include "sim/SimWorld.h"

namespace sim {

// One feature of a simulated plug-in.
class SimFeature : public outside::IFeature, public SimComponent {
public:
    SimFeature(const std::shared_ptr<SimWorld>& world, FeatureConfig config);

    std::int16_t Id() override { return Get("Id", config_.id); }
    BStr Caption() override { return Get("Caption", config_.caption); }

    // Without a call: what the list looks features up by.
    std::int16_t ConfiguredId() const { return config_.id; }

private:
    FeatureConfig config_;
};

// The feature list of the current plug-in, in the plug-in's order.
class SimFeatureList : public outside::IFeatureList, public SimComponent {
public:
    SimFeatureList(const std::shared_ptr<SimWorld>& world, const std::vector<FeatureConfig>& features);

    std::int16_t Count() override {
        return Call("Count", [&] { return static_cast<std::int16_t>(features_.size()); });
    }
    std::shared_ptr<outside::IFeature> Item(std::int16_t featureId) override;
    std::vector<std::shared_ptr<outside::IFeature>> Features() override;

private:
    std::vector<std::shared_ptr<SimFeature>> features_;
};

// The plug-in server's description of one plug-in: its help file and its collection of items.
class SimPluginEntry : public outside::IPluginEntry, public SimComponent {
public:
    SimPluginEntry(const std::shared_ptr<SimWorld>& world, const PluginConfig& config);

    BStr HelpFile() override { return Get("HelpFile", helpFile_); }
    std::shared_ptr<automation::Collection> Items() override { return Get("Items", items_); }

private:
    BStr helpFile_;
    std::shared_ptr<automation::Collection> items_;
};

// The plug-in server: picks the plug-in by the program id of the device it is given, makes it the
// current plug-in, announces its workspace control and launches its features.
class SimPluginServer : public outside::IPluginServer, public SimComponent {
public:
    explicit SimPluginServer(const std::shared_ptr<SimWorld>& world);

    automation::VBool LoadDevice(const automation::Variant& device, std::shared_ptr<automation::Collection>& features,
                                 automation::VBool flag, automation::VBool isLnsPi) override;
    void SetFeatureWindowAppearance(const BStr& caption, const automation::ObjectRef& icon) override;
    void LaunchFeature(std::int16_t featureId, std::int32_t ownerWindow) override;
    // With no current plug-in: an empty list.
    std::shared_ptr<outside::IFeatureList> FeatureList() override;
    // None without a current plug-in.
    std::shared_ptr<outside::IPluginEntry> CurrentPlugin() override { return Get("CurrentPlugin", entry_); }
    std::shared_ptr<outside::INetServDevice> CurrentDevice() override {
        return Call("CurrentDevice", [&] { return automation::Query<outside::INetServDevice>(device_); });
    }
    std::shared_ptr<outside::IPluginEntry> PluginForProgramID(const BStr& programId) override;
    void Reset() override {
        return Call("Reset", [&] { ForgetCurrent(); });
    }
    void Clear() override {
        return Call("Clear", [&] { ForgetCurrent(); });
    }
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
