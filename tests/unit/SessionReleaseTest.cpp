// Letting go of the session's objects once the component is no longer in use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/MMain.h"
#include "support/PlatformTest.h"

namespace {

using Log = std::vector<std::string>;

// Objects of other components, as the session holds them; each notes when it goes.
struct Device final : outside::ILnsAppDevice {
    Log* log;
    explicit Device(Log* l) : log(l) {}
    ~Device() override { log->push_back("AppDevice"); }
    automation::BStr Name() override { return u"Node"; }
    std::int16_t State() override { return 0; }
};

struct System final : outside::ILnsSystem {
    Log* log;
    explicit System(Log* l) : log(l) {}
    ~System() override { log->push_back("System"); }
};

struct Properties final : automation::Collection {
    Log* log;
    explicit Properties(Log* l) : log(l) {}
    ~Properties() override { log->push_back("Collection"); }
};

struct DeviceObject final : outside::INetServDevice, outside::INetServDeviceLink {
    Log* log;
    explicit DeviceObject(Log* l) : log(l) {}
    ~DeviceObject() override { log->push_back("DeviceObject"); }
    void Initialize(const std::shared_ptr<outside::ILnsAppDevice>&, const std::shared_ptr<outside::ILnsSystem>&, float&,
                    automation::VBool&, const std::shared_ptr<automation::Collection>&) override {}
    automation::VBool UploadDevice() override { return automation::kTrue; }
    automation::VBool DownloadDevice() override { return automation::kTrue; }
};

class SessionRelease : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        MMain::ResetForComponentLoad();
    }
    void TearDown() override {
        MMain::ResetForComponentLoad();
        PlatformTest::TearDown();
    }

    // A session as StartApp and LoadDevicePlugin leave it, the store holding the only references.
    void Fill() {
        MMain::SetLnsAppDevice(std::make_shared<Device>(&log));
        MMain::SetLnsSystem(std::make_shared<System>(&log));
        MMain::SetLnsObjSvrVersion(3.2f);
        MMain::SetSupportsFileType2Config(automation::kTrue);
        MMain::SetPlugInDescription(u"Fan Controller");
        MMain::SetNVDeviceNameAddress(u"Fan Coil 1/nvoStatus");
        MMain::SetCPsRefNVsCol(std::make_shared<Properties>(&log));
        MMain::SetIsLNSPI(automation::kTrue);
        MMain::SetPluginServerLink(std::make_shared<DeviceObject>(&log));
    }

    Log log;
};

TEST_F(SessionRelease, FreshComponentHoldsNothing) {
    EXPECT_FALSE(MMain::HoldsOutsideObjects());
    MMain::ReleaseOutsideObjects();
    EXPECT_FALSE(MMain::HoldsOutsideObjects());
    EXPECT_TRUE(log.empty());
}

TEST_F(SessionRelease, EachObjectValueCountsAsHeld) {
    MMain::SetCPsRefNVsCol(std::make_shared<Properties>(&log));
    EXPECT_TRUE(MMain::HoldsOutsideObjects());
    MMain::SetCPsRefNVsCol(nullptr);
    EXPECT_FALSE(MMain::HoldsOutsideObjects());

    MMain::SetPluginServerLink(std::make_shared<DeviceObject>(&log));
    EXPECT_TRUE(MMain::HoldsOutsideObjects());
    MMain::SetPluginServerLink(nullptr);
    MMain::SetLnsSystem(std::make_shared<System>(&log));
    EXPECT_TRUE(MMain::HoldsOutsideObjects());
    MMain::SetLnsSystem(nullptr);
    MMain::SetLnsAppDevice(std::make_shared<Device>(&log));
    EXPECT_TRUE(MMain::HoldsOutsideObjects());
    MMain::SetLnsAppDevice(nullptr);
    MMain::MainWindow() = ui::Window::Create(u"FMainHalvern");
    EXPECT_TRUE(MMain::HoldsOutsideObjects());
    MMain::MainWindow() = nullptr;
    EXPECT_FALSE(MMain::HoldsOutsideObjects());
    // Plain values are no objects.
    MMain::SetPlugInDescription(u"x");
    MMain::SetLnsObjSvrVersion(4.0f);
    EXPECT_FALSE(MMain::HoldsOutsideObjects());
}

TEST_F(SessionRelease, ObjectsGoInAFixedOrderAndPlainValuesStay) {
    Fill();
    auto window = ui::Window::Create(u"FMainHalvern");
    std::weak_ptr<ui::Window> windowGone = window;
    MMain::MainWindow() = std::move(window);
    ASSERT_TRUE(MMain::HoldsOutsideObjects());
    ASSERT_TRUE(log.empty());

    MMain::ReleaseOutsideObjects();
    EXPECT_EQ(log, (Log{"DeviceObject", "Collection", "System", "AppDevice"}));
    EXPECT_TRUE(windowGone.expired());
    EXPECT_FALSE(MMain::HoldsOutsideObjects());
    EXPECT_EQ(MMain::LnsAppDevice(), nullptr);
    EXPECT_EQ(MMain::LnsSystem(), nullptr);
    EXPECT_EQ(MMain::CPsRefNVsCol(), nullptr);
    EXPECT_EQ(MMain::PluginServerLink(), nullptr);
    EXPECT_EQ(MMain::MainWindow(), nullptr);
    EXPECT_EQ(MMain::MainForm(), nullptr);

    EXPECT_EQ(MMain::LnsObjSvrVersion(), 3.2f);
    EXPECT_EQ(MMain::IsObjSvrVersionAtLeast32(), automation::kTrue);
    EXPECT_EQ(MMain::SupportsFileType2Config(), automation::kTrue);
    EXPECT_EQ(MMain::PlugInDescription(), u"Fan Controller");
    EXPECT_EQ(MMain::NVDeviceNameAddress(), u"Fan Coil 1/nvoStatus");
    EXPECT_EQ(MMain::IsLNSPI(), automation::kTrue);

    // Nothing is released twice.
    MMain::ReleaseOutsideObjects();
    EXPECT_EQ(log.size(), 4u);
}

TEST_F(SessionRelease, ObjectsStillSharedElsewhereLive) {
    Fill();
    auto collection = MMain::CPsRefNVsCol();
    MMain::ReleaseOutsideObjects();
    EXPECT_EQ(log, (Log{"DeviceObject", "System", "AppDevice"}));
    EXPECT_EQ(collection.use_count(), 1);
    collection.reset();
    EXPECT_EQ(log.back(), "Collection");
}

// An object whose release reads the session sees its own value already gone.
struct Curious final : automation::Collection {
    bool* sawItself;
    explicit Curious(bool* s) : sawItself(s) {}
    ~Curious() override { *sawItself = MMain::CPsRefNVsCol() != nullptr; }
};

TEST_F(SessionRelease, AnObjectReleasedReadsTheSessionWithoutItself) {
    bool sawItself = true;
    MMain::SetCPsRefNVsCol(std::make_shared<Curious>(&sawItself));
    MMain::ReleaseOutsideObjects();
    EXPECT_FALSE(sawItself);
}

}  // namespace
