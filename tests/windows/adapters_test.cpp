// The late-bound adapters against the simulated COM components, under Wine.
//   adapters_test.exe [path of QuilletSimComponents.dll]
// Registers the simulated components, creates them through the component factory, drives them
// through the outside/ contracts and hosts workspace controls in AtlAxWin windows.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ComTestSupport.h"
#include "TestHarness.h"
#include "automation/ComponentFactory.h"
#include "outside/Controls.h"
#include "outside/PluginServer.h"
#include "win32/adapters/Adapters.h"
#include "win32/adapters/LateBound.h"

using automation::BStr;
using automation::ObjectRef;
using automation::Variant;
using qvtest::ExpectError;
using qvtest::SameObject;
using win32::ComRef;
using win32::adapters::LateBound;
using win32::adapters::Var;
namespace adapters = win32::adapters;
namespace code = automation::code;

namespace {

// The simulated components fail with E_FAIL, as the Linux simulation does.
constexpr std::int32_t kSimulatedFailure = code::kFail;
// The program id of the device and its plug-in.
constexpr char16_t kProgram[] = u"80:00:0C:50:3C:03:04:1A";

const wchar_t* W(const BStr& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

ComRef<IDispatch> CreateDispatch(const wchar_t* progId) {
    auto d = qvtest::CreateByProgId(progId);
    if (!d) automation::Raise(code::kClassNotRegistered, u"cannot create a simulated object");
    return d;
}

BStr Str(LateBound& obj, std::u16string_view name) { return adapters::ResultStr(obj.Get(name).Ref()); }
// A late-bound call with the arguments as written.
template <class... A>
Var Call(LateBound& obj, std::u16string_view name, A... a) {
    std::vector<Var> args;
    (args.push_back(std::move(a)), ...);
    return obj.Call(name, std::move(args));
}

bool Contains(const BStr& text, std::u16string_view part) { return text.find(part) != BStr::npos; }

// The simulated world's configuration object and a device to show.
struct World {
    LateBound control{CreateDispatch(L"QuilletSim.Control")};
    ComRef<IDispatch> appDevice = CreateDispatch(L"QuilletSim.AppDevice");
    ComRef<IDispatch> system = CreateDispatch(L"QuilletSim.System");

    World() {
        control.Call(u"Reset");
        Call(control, u"AddPlugin", Var::Str(kProgram), Var::Str(u"ahu.chm"), Var::Str(u"QuilletSim.UnitsWorkspace"),
             Var::Bool(true));
        AddFeature(7, u"&Configure");
        AddFeature(3, u"&Trend");
        LateBound dev(appDevice);
        dev.Put(u"Name", Var::Str(u"AHU 1"));
        dev.Put(u"ProgramId", Var::Str(kProgram));
        // As a real units control does, it asks to close once OK has applied the units.
        control.Put(u"ApplyAsksToClose", Var::Bool(true));
    }
    void AddFeature(std::int16_t id, std::u16string_view caption) {
        Call(control, u"AddFeature", Var::Str(kProgram), Var::I2(id), Var::Str(caption));
    }
    void Fail(std::u16string_view call, std::int32_t count) { Call(control, u"Fail", Var::Str(call), Var::I4(count)); }
    void Outcome(std::u16string_view op, std::int32_t outcome) { Call(control, u"SetOutcome", Var::Str(op), Var::I4(outcome)); }
    std::int32_t CountOf(std::u16string_view call) { return adapters::ResultI4(Call(control, u"CountOf", Var::Str(call)).Ref()); }
    std::int32_t Live(std::u16string_view what) { return adapters::ResultI4(control.Get(what).Ref()); }

    // A device object made and initialised the way the display opens one.
    std::shared_ptr<outside::INetServDevice> Device() {
        auto device = automation::CreateAs<outside::INetServDevice>(outside::kNetServDeviceClsid);
        float version = 3.2f;
        automation::VBool fileType2 = automation::kTrue;
        device->Initialize(adapters::WrapAppDevice(appDevice.Get()), adapters::WrapSystem(system.Get()), version, fileType2,
                           std::make_shared<automation::Collection>());
        return device;
    }
};

// ATL's host window class, loaded at run time as the component does; registered once a process.
struct AtlHost {
    static AtlHost& Get() {
        static AtlHost host;
        return host;
    }

    using InitFn = BOOL(WINAPI*)();
    using GetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);
    HMODULE dll = LoadLibraryW(L"atl.dll");
    GetControlFn getControl = nullptr;
    bool ready = false;

private:
    AtlHost() {
        if (!dll) return;
        auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(dll, "AtlAxWinInit")));
        getControl = reinterpret_cast<GetControlFn>(reinterpret_cast<void*>(GetProcAddress(dll, "AtlAxGetControl")));
        ready = init && getControl && init();
    }
};

// The test's frame for hosted controls, made once.
HWND Frame() {
    static HWND frame = qvtest::OwnFrame(L"Adapters test", 20, 20, 720, 420);
    return frame;
}

// A control hosted in an AtlAxWin child window of the test frame.
struct Hosted {
    HWND window = nullptr;
    ObjectRef object;
    Hosted(AtlHost& atl, const wchar_t* progId, int x, int y, int w, int h) {
        window = CreateWindowExW(0, L"AtlAxWin", progId, WS_CHILD | WS_VISIBLE, x, y, w, h, Frame(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        if (!window) return;
        IUnknown* unk = nullptr;
        if (SUCCEEDED(atl.getControl(window, &unk)) && unk) {
            object = adapters::WrapHostedControl(unk);
            unk->Release();
        }
        qvtest::Pump(0);
    }
    ~Hosted() {
        object.reset();
        if (window) DestroyWindow(window);
        qvtest::Pump(0);
    }
};

TEST_CASE(LnsObjectsAndCollections) {
    World world;
    auto device = adapters::WrapAppDevice(world.appDevice.Get());
    CHECK(device->Name() == u"AHU 1");
    CHECK(device->State() == 3);
    LateBound(world.appDevice).Put(u"Answering", Var::Bool(false));
    ExpectError(
        code::kFail, [&] { device->State(); }, u"The device did not respond: AHU 1");
    CHECK(world.CountOf(u"AppDevice.State") == 2);
    CHECK(adapters::WrapAppDevice(nullptr) == nullptr);

    // An outside collection through its dispatch members.
    auto items = adapters::WrapCollection(CreateDispatch(L"QuilletSim.Collection").Get());
    items->Add(Variant(u"first"), u"k1");
    items->Add(Variant(std::int32_t(5)));
    CHECK(items->Count() == 2);
    CHECK(items->Item(Variant(std::int32_t(1))).AsStr() == u"first");
    CHECK(items->Item(Variant(u"K1")).AsStr() == u"first");
    auto all = items->Items();
    CHECK(all.size() == 2 && all[1].AsI4() == 5);
    items->Remove(Variant(std::int32_t(1)));
    CHECK(items->Count() == 1);
    ExpectError(code::kSubscriptOutOfRange, [&] { items->Item(Variant(std::int32_t(7))); });
    ExpectError(code::kInvalidProcedureCall, [&] { items->Item(Variant(u"no such key")); });

    // The system's own collection goes out as an automation collection and comes back as itself.
    auto own = std::make_shared<automation::Collection>();
    own->Add(Variant(u"x"));
    ComRef<IDispatch> out = ComRef<IDispatch>::Adopt(adapters::ToDispatch(own));
    LateBound outside(out);
    CHECK(adapters::ResultI4(outside.Get(u"Count").Ref()) == 1);
    Call(outside, u"Add", Var::Str(u"y"));
    CHECK(own->Count() == 2);
    CHECK(adapters::WrapCollection(out.Get()) == own);
    VARIANT v;
    VariantInit(&v);
    adapters::ToVariant(Variant(ObjectRef(own)), &v);
    CHECK(V_VT(&v) == VT_DISPATCH && adapters::FromVariant(v).AsObject() == own);
    VariantClear(&v);

    // Values both ways, and results of the wrong kind.
    adapters::ToVariant(Variant(u"text"), &v);
    CHECK(V_VT(&v) == VT_BSTR && adapters::FromVariant(v).AsStr() == u"text");
    VariantClear(&v);
    adapters::ToVariant(Variant::FromBool(true), &v);
    CHECK(V_VT(&v) == VT_BOOL && V_BOOL(&v) == VARIANT_TRUE);
    VariantClear(&v);
    adapters::ToVariant(Variant(2.5f), &v);
    CHECK(V_VT(&v) == VT_R4 && adapters::FromVariant(v).AsR4() == 2.5f);
    VariantClear(&v);
    Var dispatch = Var::Dispatch(world.appDevice.Get());
    ExpectError(code::kTypeMismatch, [&] { adapters::ResultStr(dispatch.Ref()); });
    ExpectError(code::kTypeMismatch, [&] { adapters::ResultBool(dispatch.Ref()); });
    Var text = Var::Str(u"not a number");
    ExpectError(code::kTypeMismatch, [&] { adapters::ResultI2(text.Ref()); });
    ExpectError(code::kTypeMismatch, [&] { adapters::ResultDispatch(text.Ref()); });
    Var big = Var::I4(100000);
    ExpectError(code::kOverflow, [&] { adapters::ResultI2(big.Ref()); });
    // A member the object does not have.
    ExpectError(static_cast<std::int32_t>(DISP_E_UNKNOWNNAME),
                [&] { adapters::WrapAppDevice(CreateDispatch(L"QuilletSim.Collection").Get())->Name(); });
}

TEST_CASE(DeviceObjectAndFactory) {
    World world;
    auto device = world.Device();
    CHECK(world.CountOf(u"NetServDevice.Initialize") == 1);
    CHECK(device->UploadDevice() == automation::kTrue);
    world.Outcome(u"UploadDevice", 1);
    CHECK(device->UploadDevice() == automation::kFalse);
    world.Outcome(u"UploadDevice", 2);
    ExpectError(kSimulatedFailure, [&] { device->UploadDevice(); });
    CHECK(device->DownloadDevice() == automation::kTrue);

    // The link is the object's second interface, and leads back to the device.
    auto link = automation::Query<outside::INetServDeviceLink>(device);
    CHECK(link != nullptr);
    ComRef<IDispatch> linkDisp = ComRef<IDispatch>::Adopt(adapters::ToDispatch(link));
    LateBound linkCalls(linkDisp);
    CHECK(Str(linkCalls, u"DeviceName") == u"AHU 1");
    ComRef<IUnknown> second;
    ComRef<IDispatch> mainDisp = ComRef<IDispatch>::Adopt(adapters::ToDispatch(device));
    mainDisp->QueryInterface(IID{0x4C725D56, 0x5B85, 0x11D5, {0x8D, 0xE3, 0x00, 0xC0, 0x4F, 0x5C, 0xAA, 0xEE}}, second.PutVoid());
    CHECK(second && second.Get() == static_cast<IUnknown*>(linkDisp.Get()));
    CHECK(automation::Query<outside::INetServDevice>(link) != nullptr);

    // A failing Initialize reaches the caller with the component's own text.
    world.Fail(u"NetServDevice.Initialize", 1);
    ExpectError(
        kSimulatedFailure, [&] { world.Device(); }, u"Simulated failure of NetServDevice.Initialize");
    CHECK(world.Device() != nullptr);

    // Names that are not registered.
    ExpectError(code::kClassNotRegistered, [&] { automation::Components().Create(u"QuilletSim.NoSuchClass"); });
    ExpectError(code::kClassNotRegistered, [&] { automation::Components().Create(u"{6E1B9A3C-0000-4000-8000-0000000000AA}"); });
    LateBound(world.control).Put(u"FallbackInstalled", Var::Bool(false));
    ExpectError(code::kClassNotRegistered, [&] { automation::Components().Create(outside::kFallbackWorkspaceProgId); });
    LateBound(world.control).Put(u"FallbackInstalled", Var::Bool(true));
}

TEST_CASE(PluginServerAndNotifications) {
    World world;
    auto device = world.Device();
    std::vector<BStr> announced;
    int uploads = 0;
    int downloads = 0;
    bool insideLoadDevice = false;
    {
        auto server = automation::CreateAs<outside::IPluginServer>(outside::kPluginServerClsid);
        CHECK(world.Live(u"LivePluginServers") == 1);
        auto a = server->Events().WorkspaceAvailable.Subscribe([&](const BStr& id) {
            announced.push_back(id);
            insideLoadDevice = world.CountOf(u"PluginServer.LoadDevice") == 1;
        });
        auto u = server->Events().RequestUpload.Subscribe([&] { ++uploads; });
        auto d = server->Events().RequestDownload.Subscribe([&] { ++downloads; });

        auto features = std::make_shared<automation::Collection>();
        auto passed = features;
        CHECK(server->LoadDevice(Variant(ObjectRef(device)), features, automation::kTrue, automation::kFalse) ==
              automation::kTrue);
        CHECK(announced == std::vector<BStr>{u"QuilletSim.UnitsWorkspace"});
        CHECK(insideLoadDevice);
        CHECK(features != passed && features->Count() == 2 && features->Item(Variant(std::int32_t(1))).AsI2() == 7);

        auto list = server->FeatureList();
        CHECK(list->Count() == 2);
        CHECK(list->Item(7)->Caption() == u"&Configure");
        ExpectError(code::kElementNotFound, [&] { list->Item(99); });
        auto ordered = list->Features();
        CHECK(ordered.size() == 2 && ordered[0]->Id() == 7 && ordered[1]->Id() == 3 && ordered[1]->Caption() == u"&Trend");
        CHECK(server->CurrentPlugin()->HelpFile() == u"ahu.chm");
        auto current = server->CurrentDevice();
        CHECK(current != nullptr);
        CHECK(current && SameObject(ComRef<IDispatch>::Adopt(adapters::ToDispatch(current)).Get(),
                                    ComRef<IDispatch>::Adopt(adapters::ToDispatch(device)).Get()));

        CHECK(server->PluginForProgramID(u"no such program") == nullptr);
        CHECK(server->PluginForProgramID(kProgram)->Items()->Count() == 2);
        Call(world.control, u"SetPluginOption", Var::Str(kProgram), Var::Str(u"EntryItems"), Var::I4(-1));
        CHECK(server->PluginForProgramID(kProgram)->Items() == nullptr);

        server->LaunchFeature(7, 0);
        world.Outcome(u"LaunchFeature", 2);
        ExpectError(code::kFail, [&] { server->LaunchFeature(7, 0); });
        server->SetFeatureWindowAppearance(u"AHU 1 - Configure", nullptr);
        CHECK(Str(world.control, u"FeatureWindowCaption") == u"AHU 1 - Configure");

        // Notifications raised outside any call, and a listener's error going back to the server.
        world.control.Call(u"RaiseRequestUpload");
        world.control.Call(u"RaiseRequestDownload");
        world.control.Call(u"RaiseRequestDownload");
        CHECK(uploads == 1 && downloads == 2);
        auto failing = server->Events().WorkspaceAvailable.Subscribe(
            [](const BStr&) { automation::Raise(code::kFail, u"listener failed"); });
        Call(world.control, u"RaiseWorkspaceAvailable", Var::Str(u"QuilletSim.Workspace"));
        CHECK(announced.size() == 2 && announced[1] == u"QuilletSim.Workspace");

        server->Reset();
        server->Clear();
        CHECK(server->CurrentDevice() == nullptr && server->CurrentPlugin() == nullptr);
        CHECK(server->FeatureList()->Count() == 0);

        // An injected fault: the call fails with the component's code and text, the next succeeds.
        world.Fail(u"PluginServer.LoadDevice", 1);
        ExpectError(
            kSimulatedFailure,
            [&] { server->LoadDevice(Variant(ObjectRef(device)), features, automation::kTrue, automation::kFalse); },
            u"Simulated failure of PluginServer.LoadDevice");
        CHECK(server->LoadDevice(Variant(ObjectRef(device)), features, automation::kTrue, automation::kFalse) ==
              automation::kTrue);
        CHECK(Contains(Str(world.control, u"Log"), u"PluginServer.LoadDevice !"));

        // A device whose plug-in is not known is refused without an announcement; the server
        // forgets the previous plug-in and leaves the caller's collection alone.
        LateBound(world.appDevice).Put(u"ProgramId", Var::Str(u"00:00:00:00:00:00:00:00"));
        std::size_t before = announced.size();
        auto kept = features;
        CHECK(server->LoadDevice(Variant(ObjectRef(device)), features, automation::kTrue, automation::kFalse) ==
              automation::kFalse);
        CHECK(announced.size() == before && features == kept);
        CHECK(server->CurrentPlugin() == nullptr && server->FeatureList()->Count() == 0);

        // Creation itself can be made to fail, with the component's text.
        world.Fail(u"PluginServer.Create", 1);
        ExpectError(
            code::kFail, [&] { automation::Components().Create(outside::kPluginServerClsid); },
            u"Simulated failure of PluginServer.Create");
    }
    // Going away unadvises: nothing keeps the server alive, and later raises reach nobody.
    CHECK(world.Live(u"LivePluginServers") == 0);
    world.control.Call(u"RaiseRequestUpload");
    CHECK(uploads == 1);
}

TEST_CASE(HostedWorkspaceControls) {
    World world;
    AtlHost& atl = AtlHost::Get();
    CHECK(atl.ready);
    if (!atl.ready) return;
    auto device = world.Device();
    auto link = automation::Query<outside::INetServDeviceLink>(device);
    {
        Hosted hosted(atl, L"QuilletSim.UnitsWorkspace", 10, 10, 420, 300);
        CHECK(hosted.object != nullptr);
        // The control activated in place in a child window filling the host window.
        HWND child = hosted.window ? GetWindow(hosted.window, GW_CHILD) : nullptr;
        RECT host{}, inner{};
        if (hosted.window) GetClientRect(hosted.window, &host);
        if (child) GetWindowRect(child, &inner);
        CHECK(child && IsWindowVisible(child));
        CHECK(inner.right - inner.left == host.right && inner.bottom - inner.top == host.bottom);

        auto ws = automation::Query<outside::IPluginWorkspace>(hosted.object);
        CHECK(ws != nullptr);
        if (!ws) return;
        CHECK(ws->NeedsUpload() == automation::kTrue);
        ObjectRef given = link;
        ws->AttachLink(given);
        CHECK(given == link);
        ComRef<IDispatch> attached =
            ComRef<IDispatch>::Adopt(adapters::ResultDispatch(world.control.Get(u"LastAttachedLink").Ref()).Detach());
        CHECK(SameObject(attached.Get(), ComRef<IDispatch>::Adopt(adapters::ToDispatch(link)).Get()));
        ws->Upload();
        BStr text = Str(world.control, u"LastWorkspaceText");
        CHECK(Contains(text, u"Device: AHU 1") && Contains(text, u"Uploads: 1"));

        auto units = automation::Query<outside::IPluginWorkspaceUnits>(hosted.object);
        CHECK(units != nullptr);
        if (units) {
            CHECK(units->SupportsEngUnits() == automation::kTrue);
            ObjectRef u = adapters::FromVariant(Call(world.control, u"MakeUnits", Var::Str(u"US customary")).Ref()).AsObject();
            ObjectRef before = u;
            units->ApplyEngUnits(u);
            CHECK(u == before);
            CHECK(Contains(Str(world.control, u"LastWorkspaceText"), u"Units: US customary"));
        }

        world.Fail(u"Workspace.AttachLink", 1);
        ExpectError(kSimulatedFailure, [&] { ws->AttachLink(given); });
        world.Fail(u"Workspace.Upload", -1);
        ExpectError(kSimulatedFailure, [&] { ws->Upload(); });
        CHECK(world.Live(u"LiveWorkspaceControls") == 1);
    }
    qvtest::Pump(0);
    CHECK(world.Live(u"LiveWorkspaceControls") == 0);

    {
        // Without the units interface the control gets no units, even though the host asks.
        world.control.Call(u"ClearFaults");
        Hosted plain(atl, L"QuilletSim.Workspace", 10, 10, 420, 300);
        CHECK(automation::Query<outside::IPluginWorkspace>(plain.object) != nullptr);
        CHECK(automation::Query<outside::IPluginWorkspaceUnits>(plain.object) == nullptr);
        // Reading the device's data before a link was attached is the control's error, not a crash.
        if (auto ws = automation::Query<outside::IPluginWorkspace>(plain.object))
            ExpectError(code::kObjectNotSet, [&] { ws->Upload(); });
        Hosted fallback(atl, W(BStr(outside::kFallbackWorkspaceProgId)), 440, 10, 260, 300);
        CHECK(automation::Query<outside::IPluginWorkspace>(fallback.object) != nullptr);
    }
}

TEST_CASE(UnitsControl) {
    World world;
    AtlHost& atl = AtlHost::Get();
    if (!atl.ready) {
        CHECK(atl.ready);
        return;
    }
    Hosted hosted(atl, W(BStr(outside::kQtyUnitsProgId)), 440, 10, 260, 120);
    auto units = std::dynamic_pointer_cast<outside::IQtyUnitsControl>(hosted.object);
    CHECK(units != nullptr);
    if (!units) return;
    CHECK(automation::Query<outside::IPluginWorkspace>(hosted.object) == nullptr);
    std::vector<BStr> applied;
    int closes = 0;
    auto a = units->UnitsApplied.Subscribe([&](const ObjectRef& u) {
        ComRef<IDispatch> d = ComRef<IDispatch>::Adopt(adapters::ToDispatch(u));
        LateBound named(d);
        applied.push_back(Str(named, u"Name"));
    });
    auto c = units->CloseRequest.Subscribe([&] { ++closes; });
    units->SetFlag(automation::kFalse);
    CHECK(world.CountOf(u"QtyUnits.SetFlag") == 1);
    units->Apply();
    // Like a real units control, it asks to close once OK has applied the units.
    CHECK(applied == std::vector<BStr>{u"Units 1"} && closes == 1);
    Call(world.control, u"RaiseUnitsApplied", Var::Str(u"Metric"));
    world.control.Call(u"RaiseCloseRequest");
    CHECK(applied.size() == 2 && applied[1] == u"Metric" && closes == 2);
    world.Fail(u"QtyUnits.Apply", 1);
    ExpectError(kSimulatedFailure, [&] { units->Apply(); });
    CHECK(applied.size() == 2);
}

}  // namespace

int main(int argc, char** argv) {
    if (FAILED(OleInitialize(nullptr))) {
        std::printf("OleInitialize failed\n");
        return 2;
    }
    std::wstring dll = L"QuilletSimComponents.dll";
    if (argc > 1) {
        int n = MultiByteToWideChar(CP_ACP, 0, argv[1], -1, nullptr, 0);
        dll.assign(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, argv[1], -1, dll.data(), n);
        dll.resize(static_cast<std::size_t>(n - 1));
    }
    HMODULE sim = LoadLibraryW(dll.c_str());
    auto reg =
        sim ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(sim, "DllRegisterServer")))
            : nullptr;
    if (!reg || FAILED(reg())) {
        std::printf("cannot register %ls\n", dll.c_str());
        return 2;
    }
    adapters::InstallComFactory();

    const int rc = qvtest::RunAll("adapters");
    DestroyWindow(Frame());
    qvtest::Pump(0);
    automation::Components().Clear();
    OleUninitialize();
    return rc;
}
