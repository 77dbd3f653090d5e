#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/ComponentFactory.h"
#include "outside/Picture.h"
#include "sim/SimNetServDevice.h"
#include "sim/SimPluginServer.h"
#include "sim/SimWorkspaceControl.h"
#include "sim/SimWorld.h"
#include "support/ErrorCode.h"

using namespace automation;
using sim::Outcome;

namespace {

constexpr char16_t kFanId[] = u"9F:FF:FF:05:01:0A:04:01";
constexpr char16_t kValveId[] = u"9F:FF:FF:05:01:0B:04:02";

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        world = sim::SimWorld::Create();
        world->AddPlugin({kFanId, u"Fan.chm", {{3, u"&Configure"}, {1, u"Mon&itor"}}, u"Fan.Workspace", 2, true, true});
        world->AddPlugin({kValveId, u"", {{7, u"Valve"}}, u"Valve.Workspace", -1, false, false});
        world->AddWorkspaceControl({u"Fan.Workspace", true, true, true, true});
        world->RegisterComponents();
        app = world->MakeAppDevice(u"Fan 1", kFanId);
    }

    // A device object for `device`, initialised as the system does.
    std::shared_ptr<outside::INetServDevice> Wrap(const std::shared_ptr<outside::ILnsAppDevice>& device) {
        auto d = CreateAs<outside::INetServDevice>(outside::kNetServDeviceClsid);
        float version = 3.2f;
        VBool type2 = kTrue;
        d->Initialize(device, world->MakeSystem(), version, type2, std::make_shared<Collection>());
        return d;
    }

    std::shared_ptr<sim::SimWorld> world;
    std::shared_ptr<outside::ILnsAppDevice> app;
};

TEST_F(SimTest, PluginServerChoosesByProgramIdAndAnnouncesInsideLoadDevice) {
    auto server = CreateAs<outside::IPluginServer>(outside::kPluginServerClsid);
    auto device = Wrap(app);
    std::vector<std::string> seenAtAnnounce;
    BStr announced;
    int countAtAnnounce = -1;
    auto sub = server->Events().WorkspaceAvailable.Subscribe([&](const BStr& id) {
        announced = id;
        seenAtAnnounce = world->Log();
        countAtAnnounce = server->FeatureList()->Count();  // already current while announcing
    });
    auto features = std::make_shared<Collection>();
    auto given = features;
    world->ClearLog();
    EXPECT_EQ(server->LoadDevice(Variant(ObjectRef(device)), features, kTrue, kFalse), kTrue);
    EXPECT_EQ(announced, u"Fan.Workspace");
    EXPECT_EQ(seenAtAnnounce, (std::vector<std::string>{"PluginServer.LoadDevice"}));
    EXPECT_EQ(countAtAnnounce, 2);
    ASSERT_NE(features, given);
    EXPECT_EQ(features->Count(), 2);
    EXPECT_EQ(features->Item(Variant(std::int32_t(1))).AsI2(), 3);
    EXPECT_EQ(server->CurrentPlugin()->HelpFile(), u"Fan.chm");
    EXPECT_EQ(server->CurrentDevice(), device);
    auto simServer = std::dynamic_pointer_cast<sim::SimPluginServer>(server);
    EXPECT_EQ(simServer->LastLoadFlag(), kTrue);

    // A known plug-in that refuses, and that announces only when told to.
    announced.clear();
    auto valve = Wrap(world->MakeAppDevice(u"Valve 1", kValveId));
    EXPECT_EQ(server->LoadDevice(Variant(ObjectRef(valve)), features, kTrue, kTrue), kFalse);
    EXPECT_TRUE(announced.empty());
    EXPECT_EQ(server->FeatureList()->Count(), 1);
    EXPECT_EQ(server->CurrentPlugin()->Items(), nullptr);
    EXPECT_TRUE(simServer->AnnounceWorkspace());
    EXPECT_EQ(announced, u"Valve.Workspace");

    // Unknown program id, no device: nothing current.
    for (const Variant& d : {Variant(ObjectRef(Wrap(world->MakeAppDevice(u"X", u"00")))), Variant()}) {
        EXPECT_EQ(server->LoadDevice(d, features, kTrue, kFalse), kFalse);
        EXPECT_EQ(server->CurrentPlugin(), nullptr);
        EXPECT_EQ(server->CurrentDevice(), nullptr);
        EXPECT_EQ(server->FeatureList()->Count(), 0);
    }
    server->LoadDevice(Variant(ObjectRef(device)), features, kTrue, kFalse);
    server->Clear();
    EXPECT_EQ(server->CurrentPlugin(), nullptr);

    // A subscriber's failure goes back to the server, which drops it.
    auto failing = server->Events().RequestUpload.Subscribe([] { Raise(code::kFail, u"handler"); });
    EXPECT_FALSE(simServer->RaiseRequestUpload());
    EXPECT_EQ(simServer->DroppedSubscriberErrors(), 1);
}

TEST_F(SimTest, PluginEntriesByProgramId) {
    auto server = CreateAs<outside::IPluginServer>(outside::kPluginServerClsid);
    EXPECT_EQ(server->PluginForProgramID(u"nothing"), nullptr);
    EXPECT_EQ(server->PluginForProgramID(kFanId)->Items()->Count(), 2);
    EXPECT_EQ(server->PluginForProgramID(kValveId)->Items(), nullptr);
    world->AddPlugin({u"ONE", u"", {}, u"", 1, true, true});
    EXPECT_EQ(server->PluginForProgramID(u"one")->Items()->Count(), 1);
}

TEST_F(SimTest, FeatureListAndLaunch) {
    auto server = CreateAs<outside::IPluginServer>(outside::kPluginServerClsid);
    auto features = std::make_shared<Collection>();
    server->LoadDevice(Variant(ObjectRef(Wrap(app))), features, kTrue, kFalse);
    auto list = server->FeatureList();
    EXPECT_EQ(list, server->FeatureList());
    EXPECT_EQ(list->Item(1)->Caption(), u"Mon&itor");
    EXPECT_THROW(list->Item(2), Error);
    std::vector<std::int16_t> ids;
    for (const auto& f : list->Features()) ids.push_back(f->Id());
    EXPECT_EQ(ids, (std::vector<std::int16_t>{3, 1}));

    auto simServer = std::dynamic_pointer_cast<sim::SimPluginServer>(server);
    server->SetFeatureWindowAppearance(u"Configure Fan 1", nullptr);
    server->LaunchFeature(3, 0x1234);
    world->launchOutcome = Outcome::Fail;
    EXPECT_THROW(server->LaunchFeature(1, 0x1234), Error);
    EXPECT_EQ(simServer->FeatureWindowCaption(), u"Configure Fan 1");
    ASSERT_EQ(simServer->Launches().size(), 2u);
    EXPECT_EQ(simServer->Launches()[1].featureId, 1);
    EXPECT_EQ(simServer->Launches()[1].ownerWindow, 0x1234);

    // The icon parameter is a picture: an object that is none is refused as a typed parameter would.
    struct Icon : outside::IPictureDisp {
        std::int16_t Type() override { return kTypeIcon; }
    };
    struct NotAPicture : automation::Object {};
    EXPECT_NO_THROW(server->SetFeatureWindowAppearance(u"Monitor Fan 1", std::make_shared<Icon>()));
    EXPECT_EQ(ErrorCode([&] { server->SetFeatureWindowAppearance(u"Monitor Fan 1", std::make_shared<NotAPicture>()); }),
              automation::code::kTypeMismatch)
        << "an object that is no picture was taken";
}

TEST_F(SimTest, FaultsAndHooks) {
    auto device = Wrap(app);
    world->ClearLog();
    world->Fail("NetServDevice.UploadDevice", 1);
    EXPECT_THROW(device->UploadDevice(), Error);
    EXPECT_EQ(device->UploadDevice(), kTrue);
    EXPECT_EQ(world->Log(), (std::vector<std::string>{"NetServDevice.UploadDevice !", "NetServDevice.UploadDevice"}));
    EXPECT_EQ(world->CountOf("NetServDevice.UploadDevice"), 2);

    world->Fail("AppDevice.Name");
    for (int i = 0; i < 3; ++i) EXPECT_THROW(app->Name(), Error);
    world->ClearFaults();
    EXPECT_EQ(app->Name(), u"Fan 1");

    // Creation can fail too.
    world->Fail("PluginServer.Create", 1);
    EXPECT_THROW(Components().Create(outside::kPluginServerClsid), Error);
    EXPECT_EQ(world->LivePluginServers(), 0);

    // A hook raises a notification from inside a call and re-enters the same call.
    auto server = CreateAs<outside::IPluginServer>(outside::kPluginServerClsid);
    int uploads = 0, hookRuns = 0;
    auto sub = server->Events().RequestUpload.Subscribe([&] { ++uploads; });
    world->OnCall("PluginServer.Reset", [&] {
        ++hookRuns;
        server->Events().RequestUpload.Raise();
        server->Reset();  // does not run the hook again
    });
    server->Reset();
    EXPECT_EQ(uploads, 1);
    EXPECT_EQ(hookRuns, 1);
    EXPECT_EQ(world->CountOf("PluginServer.Reset"), 2);

    // A failing hook fails the call; a hook may drop the last reference to the object it runs in.
    world->OnCall("PluginServer.Clear", [] { Raise(code::kFail, u"hook"); });
    EXPECT_THROW(server->Clear(), Error);
    EXPECT_EQ(world->Log().back(), "PluginServer.Clear !");
    world->OnCall("PluginServer.Clear", [&] { server.reset(); });
    auto raw = server.get();
    raw->Clear();
    EXPECT_EQ(world->LivePluginServers(), 0);
    EXPECT_EQ(world->LastPluginServer(), nullptr);
}

TEST_F(SimTest, DeviceObjectInitializeAndOutcomes) {
    auto device = Wrap(app);
    auto simDevice = std::dynamic_pointer_cast<sim::SimNetServDevice>(device);
    ASSERT_TRUE(simDevice);
    EXPECT_EQ(world->LastNetServDevice(), device);
    EXPECT_EQ(simDevice->AppDevice(), app);
    EXPECT_FLOAT_EQ(simDevice->ObjSvrVersion(), 3.2f);
    EXPECT_EQ(simDevice->SupportsFileType2(), kTrue);
    auto link = Query<outside::INetServDeviceLink>(ObjectRef(device));
    ASSERT_TRUE(link);
    EXPECT_EQ(Query<outside::INetServDevice>(ObjectRef(link)), device);
    EXPECT_TRUE(device->QueryInterface(outside::INetServDeviceLink::kIid));

    world->uploadOutcome = Outcome::ReturnFalse;
    world->downloadOutcome = Outcome::Fail;
    EXPECT_EQ(device->UploadDevice(), kFalse);
    EXPECT_THROW(device->DownloadDevice(), Error);
    EXPECT_EQ(world->LogOf("NetServDevice.").back(), "NetServDevice.DownloadDevice");

    EXPECT_EQ(app->State(), 3);
    world->SetAnswering(app, false);
    EXPECT_THROW(app->State(), Error);
}

TEST_F(SimTest, WorkspaceControlsByProgId) {
    auto fan = CreateAs<outside::IPluginWorkspace>(u"fan.workspace");
    auto units = Query<outside::IPluginWorkspaceUnits>(ObjectRef(fan));
    ASSERT_TRUE(units);
    EXPECT_THROW(fan->Upload(), Error);  // no link yet
    ObjectRef link = Query<outside::INetServDeviceLink>(ObjectRef(Wrap(app)));
    fan->AttachLink(link);
    EXPECT_EQ(fan->Upload(), kTrue);
    EXPECT_EQ(world->LastAttachedLink(), link);
    ObjectRef picked = world->MakeUnits(u"SI");
    units->ApplyEngUnits(picked);
    EXPECT_EQ(sim::UnitsName(world->LastAppliedUnits()), u"SI");

    auto fallback = CreateAs<outside::IPluginWorkspace>(outside::kFallbackWorkspaceProgId);
    EXPECT_EQ(fallback->NeedsUpload(), kTrue);
    EXPECT_FALSE(Query<outside::IPluginWorkspaceUnits>(ObjectRef(fallback)));
    EXPECT_EQ(world->LastWorkspaceControl(), fallback);
    EXPECT_EQ(world->LiveWorkspaceControls(), 2);
    fallback.reset();
    EXPECT_EQ(world->LastWorkspaceControl(), fan);
    EXPECT_EQ(world->LiveWorkspaceControls(), 1);

    EXPECT_EQ(ErrorCode([&] { Components().Create(u"Valve.Workspace"); }), code::kClassNotRegistered);
    world->SetFallbackWorkspaceInstalled(false);
    EXPECT_FALSE(Components().IsRegistered(outside::kFallbackWorkspaceProgId));
    world->AddWorkspaceControl({u"Valve.Workspace", false, false, true, true});
    EXPECT_EQ(CreateAs<outside::IPluginWorkspace>(u"Valve.Workspace")->NeedsUpload(), kFalse);
}

TEST_F(SimTest, UnitsControlEvents) {
    auto control = CreateAs<outside::IQtyUnitsControl>(outside::kQtyUnitsProgId);
    std::vector<BStr> applied;
    int closes = 0;
    auto a = control->UnitsApplied.Subscribe([&](const ObjectRef& u) { applied.push_back(sim::UnitsName(u)); });
    auto c = control->CloseRequest.Subscribe([&] { ++closes; });
    control->SetFlag(kFalse);
    EXPECT_EQ(std::dynamic_pointer_cast<sim::SimQtyUnitsControl>(control)->Flag(), kFalse);
    control->Apply();
    world->applyHandsBackUnits = false;
    control->Apply();
    EXPECT_TRUE(world->HandBackUnits(world->MakeUnits(u"US")));
    EXPECT_TRUE(world->AskToClose());
    EXPECT_EQ(applied, (std::vector<BStr>{u"Units 1", u"US"}));
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(world->LogOf("QtyUnits."),
              (std::vector<std::string>{"QtyUnits.Create", "QtyUnits.SetFlag", "QtyUnits.Apply", "QtyUnits.Apply"}));
}

TEST(SimRegistration, ExactIdsAndUnregisteredWhenTheWorldGoes) {
    {
        auto world = sim::SimWorld::Create();
        world->RegisterComponents();
        for (auto id : {u"{A92F83C3-5024-4537-8C26-5226B0E26A1C}", u"{E0DC8C70-B47A-4809-8F89-520F199C5B48}", u"QUCtl.QtyUnits",
                        u"CEAQuilletUnknownWS.Workspace"})
            EXPECT_TRUE(Components().IsRegistered(id)) << ToUtf8(id);
        EXPECT_TRUE(Query<outside::IPluginServer>(Components().Create(u"{a92f83c3-5024-4537-8c26-5226b0e26a1c}")));
        EXPECT_EQ(world->LivePluginServers(), 0);
    }
    EXPECT_FALSE(Components().IsRegistered(outside::kPluginServerClsid));
}

}  // namespace
