// A host of LNSQuilletVexaProxy.dll, run under Wine after regsvr32: reads the registered type
// library, creates the class by ProgID and drives it early-bound, through IDispatch as script hosts
// do, and through its connection point.
//   com_host_test.exe [DLL of the other bitness, whose type library is then read as data]
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <initguid.h>

#include <cmath>
#include <tuple>
#include <string>
#include <vector>

#include "ComTestSupport.h"
#include "LNSQuilletVexaProxy_h.h"
#include "TestHarness.h"

using namespace qvtest;

namespace {

constexpr wchar_t kDescription[] = L"Quillet Test Device Display";

bool g_insideExitApp = false;
std::wstring g_otherBuild;

std::wstring NameOf(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
    BSTR name = nullptr;
    info->GetDocumentation(id, &name, nullptr, nullptr, nullptr);
    std::wstring s = Text(name);
    SysFreeString(name);
    return s;
}

struct Attr {
    ITypeInfo* info;
    TYPEATTR* a = nullptr;
    explicit Attr(ITypeInfo* i) : info(i) { i->GetTypeAttr(&a); }
    ~Attr() {
        if (a) info->ReleaseTypeAttr(a);
    }
    TYPEATTR* operator->() const { return a; }
};

// "PTR PTR AppDevice" and the like: what a parameter's type description says.
std::wstring TypeText(ITypeInfo* owner, const TYPEDESC& t) {
    switch (t.vt) {
        case VT_PTR: return L"PTR " + TypeText(owner, *t.lptdesc);
        case VT_R4: return L"R4";
        case VT_I4: return L"I4";
        case VT_BOOL: return L"BOOL";
        case VT_BSTR: return L"BSTR";
        case VT_HRESULT: return L"HRESULT";
        case VT_VOID: return L"VOID";
        case VT_USERDEFINED: {
            ComRef<ITypeInfo> ref;
            if (FAILED(owner->GetRefTypeInfo(t.hreftype, ref.Put()))) return L"?";
            return NameOf(ref.Get());
        }
        default: return L"vt" + std::to_wstring(t.vt);
    }
}

struct ExpectedParam {
    const wchar_t* name;
    const wchar_t* type;
    USHORT flags;
};

struct ExpectedMember {
    const wchar_t* name;
    std::vector<ExpectedParam> params;
};

const USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
const USHORT kRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

// The vtable interface of the dual interface in a type library, checked for the identity of the
// library and the order of the four members, each slot `slot` bytes after the one before; the
// first at 7 slots (any pointer size, when `slot` is not the reader's own).
ComRef<ITypeInfo> CheckLayout(ITypeLib* lib, SYSKIND kind, SHORT slot) {
    TLIBATTR* la = nullptr;
    CHECK_HR(lib->GetLibAttr(&la), S_OK);
    if (la) {
        CHECK(la->guid == LIBID_LNSQuilletVexaProxy);
        CHECK_EQ(la->syskind, kind);
        lib->ReleaseTLibAttr(la);
    }
    ComRef<ITypeInfo> disp, vtbl;
    CHECK_HR(lib->GetTypeInfoOfGuid(IID__IHalvernServer, disp.Put()), S_OK);
    HREFTYPE ref = 0;
    if (disp && SUCCEEDED(disp->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref))) disp->GetRefTypeInfo(ref, vtbl.Put());
    CHECK(vtbl);
    if (!vtbl) return vtbl;
    Attr va(vtbl.Get());
    CHECK_EQ(va->cFuncs, 4);
    CHECK_EQ(va->cbSizeVft, 11 * slot);
    // Another bitness' offsets come back in the reading process's pointer size: the order is what counts.
    const bool own = slot == sizeof(void*);
    SHORT first = 0;
    for (UINT i = 0; i < va->cFuncs; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(vtbl->GetFuncDesc(i, &fd))) continue;
        if (i == 0) first = fd->oVft;
        CHECK_EQ(fd->memid, kStartApp + static_cast<DISPID>(i));
        CHECK_EQ(fd->oVft * 7, first * static_cast<SHORT>(7 + i));
        vtbl->ReleaseFuncDesc(fd);
    }
    CHECK(own ? first == 7 * slot : first == 7 * 4 || first == 7 * 8);
    return vtbl;
}

}  // namespace

TEST_CASE(TypeLibraryIsRegisteredWithItsIdentity) {
    ComRef<ITypeLib> lib;
    CHECK_HR(LoadRegTypeLib(LIBID_LNSQuilletVexaProxy, 1, 0, 0, lib.Put()), S_OK);
    if (!lib) return;
    // Its version 1.0 and description: registry_check.sh.
    BSTR name = nullptr, help = nullptr;
    CHECK_HR(lib->GetDocumentation(-1, &name, nullptr, nullptr, &help), S_OK);
    CHECK_EQ(Text(name), std::wstring(L"LNSQuilletVexaProxy"));
    const std::wstring helpFile = Text(help);
    CHECK(helpFile.size() >= 15 && helpFile.substr(helpFile.size() - 15) == L"QuilletVexa.chm");
    SysFreeString(name);
    SysFreeString(help);

    ComRef<ITypeInfo> cls;
    CHECK_HR(lib->GetTypeInfoOfGuid(CLSID_IHalvernServer, cls.Put()), S_OK);
    if (!cls) return;
    Attr ca(cls.Get());
    CHECK_EQ(NameOf(cls.Get()), std::wstring(L"IHalvernServer"));
    CHECK_EQ(ca->typekind, TKIND_COCLASS);
    CHECK(ca->wTypeFlags & TYPEFLAG_FCANCREATE);
    CHECK_EQ(ca->cImplTypes, 2);
    const std::pair<const wchar_t*, INT> impls[] = {{L"_IHalvernServer", IMPLTYPEFLAG_FDEFAULT},
                                                    {L"__IHalvernServer", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
    for (UINT i = 0; i < ca->cImplTypes && i < 2; ++i) {
        HREFTYPE ref = 0;
        INT flags = 0;
        ComRef<ITypeInfo> ti;
        cls->GetRefTypeOfImplType(i, &ref);
        cls->GetRefTypeInfo(ref, ti.Put());
        cls->GetImplTypeFlags(i, &flags);
        CHECK_EQ(ti ? NameOf(ti.Get()) : L"?", std::wstring(impls[i].first));
        CHECK_EQ(flags, impls[i].second);
    }
}

TEST_CASE(DllCarriesVersionStringsIconAndTypeLibrary) {
    auto server = NewServer();  // loads the registered DLL
    HMODULE module = GetModuleHandleW(L"LNSQuilletVexaProxy.dll");
    CHECK(module != nullptr);
    if (!module) return;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    DWORD handle = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(path, &handle));
    CHECK(!info.empty() && GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!info.empty() && VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed) {
        CHECK_EQ(fixed->dwFileVersionMS, 0x00050000u);
        CHECK_EQ(fixed->dwFileVersionLS, 0u);
        CHECK_EQ(fixed->dwProductVersionMS, 0x00050000u);
        CHECK_EQ(fixed->dwProductVersionLS, 0u);
    } else {
        Fail("no fixed version information", __LINE__);
    }
    wchar_t* text = nullptr;
    if (!info.empty() &&
        VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&text), &len))
        CHECK_EQ(std::wstring(text), std::wstring(L"5.0.0.0"));
    else Fail("no FileVersion string", __LINE__);

    // Every entry of the string table, as the resource compiler stored it.
    struct Entry {
        int id;
        const char16_t* text;
    };
    static const Entry kStrings[] = {
#include "StringTable.inc"
    };
    int mismatches = 0;
    for (const auto& e : kStrings) {
        const wchar_t* stored = nullptr;
        int n = LoadStringW(module, static_cast<UINT>(e.id), reinterpret_cast<LPWSTR>(&stored), 0);
        std::wstring expected(reinterpret_cast<const wchar_t*>(e.text));
        if (n < 0 || !stored || std::wstring(stored, static_cast<size_t>(n)) != expected) {
            if (++mismatches <= 3) Fail("string " + std::to_string(e.id) + " is not " + Show(expected), __LINE__);
        }
    }
    CHECK_EQ(mismatches, 0);
    CHECK(sizeof(kStrings) / sizeof(kStrings[0]) > 10);

    CHECK(FindResourceW(module, MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14)) != nullptr);  // RT_GROUP_ICON
    HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(101), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    CHECK(icon != nullptr);
    if (icon) DestroyIcon(static_cast<HICON>(icon));
    // Loaded from there: every test that reads the registered type library.
    CHECK(FindResourceW(module, MAKEINTRESOURCEW(1), L"TYPELIB") != nullptr);
}

TEST_CASE(DualInterfaceHasTheMembersInSlotOrder) {
    ComRef<ITypeLib> lib;
    CHECK_HR(LoadRegTypeLib(LIBID_LNSQuilletVexaProxy, 1, 0, 0, lib.Put()), S_OK);
    if (!lib) return;
    auto vtbl = CheckLayout(lib.Get(), sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, sizeof(void*));
    if (!vtbl) return;
    Attr va(vtbl.Get());
    CHECK_EQ(va->typekind, TKIND_INTERFACE);
    const WORD wanted = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
    CHECK_EQ(va->wTypeFlags & wanted, wanted);

    const std::vector<ExpectedMember> members = {
        {L"StartApp",
         {{L"oLnsAppDevice", L"PTR PTR AppDevice", kInOut},
          {L"oLnsSystem", L"PTR PTR System", kInOut},
          {L"sLnsObjSvrVersion", L"PTR R4", kInOut},
          {L"bSupportsFileType2Config", L"PTR BOOL", kInOut},
          {L"sPlugInDescription", L"PTR BSTR", kInOut},
          {L"sNVDeviceNameAddress", L"PTR BSTR", kInOut},
          {L"cCPsRefNVsCol", L"PTR PTR Collection", kInOut},
          {L"bIsLNSPI", L"PTR BOOL", kInOut},
          {nullptr, L"PTR BOOL", kRetval}}},
        {L"RunFullAppView", {{nullptr, L"PTR I4", kRetval}}},
        {L"IsPlugInExist", {{L"sProgramID", L"PTR BSTR", kInOut}, {nullptr, L"PTR BOOL", kRetval}}},
        {L"ExitApp", {}},
    };
    for (UINT i = 0; i < members.size() && i < va->cFuncs; ++i) {
        const auto& m = members[i];
        FUNCDESC* fd = nullptr;
        CHECK_HR(vtbl->GetFuncDesc(i, &fd), S_OK);
        if (!fd) continue;
        CHECK_EQ(NameOf(vtbl.Get(), fd->memid), std::wstring(m.name));
        CHECK_EQ(fd->invkind, INVOKE_FUNC);
        CHECK_EQ(TypeText(vtbl.Get(), fd->elemdescFunc.tdesc), std::wstring(L"HRESULT"));
        CHECK_EQ(static_cast<size_t>(fd->cParams), m.params.size());
        BSTR names[16] = {};
        UINT got = 0;
        vtbl->GetNames(fd->memid, names, 16, &got);
        for (UINT p = 0; p < m.params.size() && p < static_cast<UINT>(fd->cParams); ++p) {
            const auto& ep = m.params[p];
            const ELEMDESC& ed = fd->lprgelemdescParam[p];
            CHECK_EQ(TypeText(vtbl.Get(), ed.tdesc), std::wstring(ep.type));
            CHECK_EQ(ed.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL), ep.flags);
            if (ep.name) CHECK_EQ(p + 1 < got ? Text(names[p + 1]) : std::wstring(), std::wstring(ep.name));
        }
        for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
        vtbl->ReleaseFuncDesc(fd);
    }

    // The LNS interfaces and the collection: by their own ids, dispatch-based, and not claimed for
    // registration (neither dual nor oleautomation).
    const std::vector<std::pair<const wchar_t*, IID>> outside = {
        {L"AppDevice", IID_AppDevice}, {L"System", IID_System}, {L"Collection", IID_Collection}};
    for (const auto& [name, iid] : outside) {
        ComRef<ITypeInfo> ti;
        CHECK_HR(lib->GetTypeInfoOfGuid(iid, ti.Put()), S_OK);
        if (!ti) continue;
        Attr a(ti.Get());
        CHECK_EQ(NameOf(ti.Get()), std::wstring(name));
        CHECK_EQ(a->typekind, TKIND_INTERFACE);
        CHECK(a->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
        CHECK_EQ(a->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION), 0);
        HREFTYPE base = 0;
        ComRef<ITypeInfo> baseInfo;
        ti->GetRefTypeOfImplType(0, &base);
        ti->GetRefTypeInfo(base, baseInfo.Put());
        CHECK(baseInfo && NameOf(baseInfo.Get()) == L"IDispatch");
    }

    ComRef<ITypeInfo> events;
    CHECK_HR(lib->GetTypeInfoOfGuid(DIID___IHalvernServer, events.Put()), S_OK);
    if (!events) return;
    Attr ea(events.Get());
    CHECK_EQ(ea->typekind, TKIND_DISPATCH);
    CHECK_EQ(ea->cFuncs, 1);
    FUNCDESC* fd = nullptr;
    CHECK_HR(events->GetFuncDesc(0, &fd), S_OK);
    if (fd) {
        CHECK_EQ(NameOf(events.Get(), fd->memid), std::wstring(L"OnAppExit"));
        CHECK_EQ(fd->memid, 1);
        CHECK_EQ(fd->cParams, 0);
        events->ReleaseFuncDesc(fd);
    }
}

TEST_CASE(ClassCreatesObjectsWithTheStandardInterfaces) {
    // The class id of the ProgID and back: registry_check.sh.
    ComRef<IClassFactory> factory;
    CHECK_HR(CoGetClassObject(CLSID_IHalvernServer, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.Put())),
             S_OK);
    if (factory) {
        auto outer = PlainObject::Create();
        ComRef<IUnknown> aggregated;
        CHECK_HR(factory->CreateInstance(outer.Get(), IID_IUnknown, reinterpret_cast<void**>(aggregated.Put())),
                 CLASS_E_NOAGGREGATION);
        ComRef<IUnknown> persist;
        CHECK_HR(factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(persist.Put())), E_NOINTERFACE);
        CHECK(!persist);
    }
    HMODULE module = GetModuleHandleW(L"LNSQuilletVexaProxy.dll");
    CHECK(module != nullptr);
    if (module) {
        auto getClass = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        void* other = reinterpret_cast<void*>(1);
        CHECK(getClass && getClass(IID_IDispatch, IID_IClassFactory, &other) == CLASS_E_CLASSNOTAVAILABLE);
        CHECK(other == nullptr);
    }

    auto server = NewServer();
    if (!server) return;
    auto dual = As<_IHalvernServer>(server.Get(), IID__IHalvernServer);
    auto unk1 = As<IUnknown>(server.Get(), IID_IUnknown);
    auto unk2 = As<IUnknown>(dual.Get(), IID_IUnknown);
    CHECK(dual && unk1 && unk1.Get() == unk2.Get());

    auto classInfo = As<IProvideClassInfo2>(server.Get(), IID_IProvideClassInfo2);
    CHECK(classInfo);
    if (classInfo) {
        GUID g = GUID_NULL;
        CHECK_HR(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &g), S_OK);
        CHECK(g == DIID___IHalvernServer);
        CHECK_HR(classInfo->GetGUID(99, &g), E_INVALIDARG);
        ComRef<ITypeInfo> ci;
        CHECK_HR(classInfo->GetClassInfo(ci.Put()), S_OK);
        if (ci) {
            Attr a(ci.Get());
            CHECK(a->guid == CLSID_IHalvernServer);
        }
    }
    auto errors = As<ISupportErrorInfo>(server.Get(), IID_ISupportErrorInfo);
    CHECK(errors);
    if (errors) {
        CHECK_HR(errors->InterfaceSupportsErrorInfo(IID__IHalvernServer), S_OK);
        CHECK_HR(errors->InterfaceSupportsErrorInfo(IID_IPersist), S_FALSE);
    }

    auto container = As<IConnectionPointContainer>(server.Get(), IID_IConnectionPointContainer);
    CHECK(container);
    if (container) {
        ComRef<IConnectionPoint> cp, none;
        CHECK_HR(container->FindConnectionPoint(DIID___IHalvernServer, cp.Put()), S_OK);
        CHECK_HR(container->FindConnectionPoint(IID_IDispatch, none.Put()), CONNECT_E_NOCONNECTION);
        if (cp) {
            IID iid = IID_NULL;
            CHECK_HR(cp->GetConnectionInterface(&iid), S_OK);
            CHECK(iid == DIID___IHalvernServer);
            ComRef<IConnectionPointContainer> back;
            CHECK_HR(cp->GetConnectionPointContainer(back.Put()), S_OK);
            CHECK(back.Get() == container.Get());
            DWORD cookie = 7;
            CHECK_HR(cp->Advise(nullptr, &cookie), E_POINTER);
            CHECK_EQ(cookie, 0);
            CHECK_HR(cp->Unadvise(12345), CONNECT_E_NOCONNECTION);
        }
        ComRef<IEnumConnectionPoints> points;
        CHECK_HR(container->EnumConnectionPoints(points.Put()), S_OK);
        if (points) {
            IConnectionPoint* got[2] = {};
            ULONG fetched = 0;
            CHECK_HR(points->Next(2, got, &fetched), S_FALSE);
            CHECK_EQ(fetched, 1);
            CHECK(got[0] == cp.Get());
            for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
        }
    }

    // Its type information and names: invoke_fuzz_test.
}

TEST_CASE(InvokeRejectsBadArgumentsBeforeCallingTheMember) {
    auto server = NewServer();
    if (!server) return;
    // A wrong argument for one parameter, too many arguments, another interface id, a flag set or a
    // member that does not exist: invoke_fuzz_test. Too few arguments:
    Args empty, tooFew;
    for (int i = 0; i < 7; ++i) tooFew.Bool(false);
    for (const auto& [id, args] : {std::pair{kStartApp, &tooFew}, std::pair{kIsPlugInExist, &empty}}) {
        Invoked r;
        Call(r, server.Get(), id, *args);
        if (r.hr != DISP_E_BADPARAMCOUNT) Fail("member " + Hr(id) + " with too few arguments: " + Hr(r.hr), __LINE__);
    }

    // Named arguments name parameters by position; anything else is not found.
    Args named, badName, putName;
    named.Named(0, L"NO.SUCH.PROGRAM");
    badName.Named(1, L"x");
    putName.Named(DISPID_PROPERTYPUT, L"x");
    Invoked n1, n2, n3;
    Call(n1, server.Get(), kIsPlugInExist, named);
    CHECK_HR(n1.hr, S_OK);
    CHECK(V_VT(&n1.result) == VT_BOOL && V_BOOL(&n1.result) == VARIANT_FALSE);
    Call(n2, server.Get(), kIsPlugInExist, badName);
    CHECK_HR(n2.hr, DISP_E_PARAMNOTFOUND);
    CHECK_EQ(n2.argErr, 0u);
    Call(n3, server.Get(), kIsPlugInExist, putName);
    CHECK_HR(n3.hr, DISP_E_PARAMNOTFOUND);

    CHECK(FAILED(server->Invoke(kExitApp, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr)));

    // A typed by-reference argument reaches the member and is not written back.
    BSTR program = SysAllocString(L"NO.SUCH.PROGRAM");
    BSTR before = program;
    Args byRef;
    byRef.RefBstr(&program);
    Invoked b;
    Call(b, server.Get(), kIsPlugInExist, byRef);
    CHECK_HR(b.hr, S_OK);
    CHECK(program == before && Text(program) == L"NO.SUCH.PROGRAM");
    SysFreeString(program);

    // None of the refused calls started the object: ExitApp has nothing to close.
    Invoked exit;
    Call(exit, server.Get(), kExitApp, empty);
    CHECK_HR(exit.hr, S_OK);
}

TEST_CASE(IsPlugInExistAnswersFromThePluginServer) {
    auto server = NewServer();
    if (!server) return;
    auto dual = As<_IHalvernServer>(server.Get(), IID__IHalvernServer);
    CHECK(dual);
    if (!dual) return;
    VARIANT_BOOL r = VARIANT_TRUE;
    CHECK_HR(dual->IsPlugInExist(nullptr, &r), E_POINTER);
    CHECK_HR(dual->RunFullAppView(nullptr), E_POINTER);
    if (!SimulatedWorld::Available()) SKIP("the simulated components are not registered");

    SimulatedWorld world(L"PROG.TWO");
    for (auto [program, items] : {std::pair{L"PROG.ONE", 1L}, std::pair{L"PROG.NONE", -1L}, std::pair{L"PROG.THREE", 3L}}) {
        Args add, option;
        add.Str(program).Str(L"").Str(L"").Bool(true);
        CHECK_HR(CallByName(world.control.Get(), L"AddPlugin", add), S_OK);
        option.Str(program).Str(L"EntryItems").I4(items);
        CHECK_HR(CallByName(world.control.Get(), L"SetPluginOption", option), S_OK);
    }
    const std::vector<std::pair<const wchar_t*, VARIANT_BOOL>> expected = {{L"PROG.TWO", VARIANT_TRUE},
                                                                           {L"PROG.THREE", VARIANT_TRUE},
                                                                           {L"PROG.ONE", VARIANT_FALSE},
                                                                           {L"PROG.NONE", VARIANT_FALSE},
                                                                           {L"PROG.UNKNOWN", VARIANT_FALSE}};
    // Through a script's variable: host.vbs.
    auto exists = [&](const wchar_t* program) {
        BSTR b = SysAllocString(program);
        VARIANT_BOOL answer = 1;
        CHECK_HR(dual->IsPlugInExist(&b, &answer), S_OK);
        SysFreeString(b);
        return answer;
    };
    for (const auto& [program, answer] : expected)
        if (exists(program) != answer) Fail("IsPlugInExist " + Show(program), __LINE__);

    // A failing plug-in server gives false, not a failure.
    Args fail;
    fail.Str(L"PluginServer.PluginForProgramID").I4(1);
    CHECK_HR(CallByName(world.control.Get(), L"Fail", fail), S_OK);
    CHECK_EQ(exists(L"PROG.TWO"), VARIANT_FALSE);
    Args none;
    CallByName(world.control.Get(), L"ClearFaults", none);
}

TEST_CASE(FailuresReachTheHostWithErrorInformation) {
    auto server = NewServer();
    if (!server) return;
    Args none;
    Invoked r;
    Call(r, server.Get(), kRunFullAppView, none);
    CHECK_HR(r.hr, DISP_E_EXCEPTION);
    CHECK(FAILED(r.excep.scode));
    CHECK(!r.Description().empty());
    CHECK_EQ(r.Source(), std::wstring(L"LNSQuilletVexaProxy.IHalvernServer"));

    // Without an EXCEPINFO the failure itself comes back: invoke_fuzz_test.

    auto dual = As<_IHalvernServer>(server.Get(), IID__IHalvernServer);
    if (!dual) return;
    LONG value = 5;
    HRESULT hr = dual->RunFullAppView(&value);
    CHECK_HR(hr, r.excep.scode);
    ComRef<IErrorInfo> info;
    CHECK_HR(GetErrorInfo(0, info.Put()), S_OK);
    if (info) {
        BSTR text = nullptr;
        GUID g = GUID_NULL;
        info->GetDescription(&text);
        info->GetGUID(&g);
        CHECK_EQ(Text(text), r.Description());
        CHECK(g == IID__IHalvernServer);
        SysFreeString(text);
    }
}

TEST_CASE(SessionRaisesOnAppExitOnceInsideExitApp) {
    if (!SimulatedWorld::Available()) SKIP("the simulated components are not registered");
    SimulatedWorld world;
    HostSession s(&g_insideExitApp);
    auto& dual = s.server;
    auto& cp = s.point;
    auto& first = s.sink;
    if (!dual || !cp) return;
    auto second = EventSink::Create(DIID___IHalvernServer, &g_insideExitApp);
    DWORD c1 = s.cookie, c2 = 0;
    CHECK_HR(cp->Advise(second.Get(), &c2), S_OK);
    CHECK(c1 != 0 && c2 != 0 && c1 != c2);
    ComRef<IEnumConnections> connections;
    CHECK_HR(cp->EnumConnections(connections.Put()), S_OK);
    if (connections) {
        CONNECTDATA cd[3] = {};
        ULONG fetched = 0;
        CHECK_HR(connections->Next(3, cd, &fetched), S_FALSE);
        CHECK_EQ(fetched, 2u);
        for (ULONG i = 0; i < fetched; ++i) cd[i].pUnk->Release();
    }

    // Started with a script's variables: host.vbs.
    if (!world.Start(dual.Get(), kDescription, L"Quillet Test Node 1/2")) return;
    // The object is used once, before ExitApp and after.
    auto startAgain = [&] {
        AppDevice* device = nullptr;
        System* system = nullptr;
        Collection* collection = nullptr;
        world.device->QueryInterface(IID_AppDevice, reinterpret_cast<void**>(&device));
        float version = 3.2f;
        VARIANT_BOOL ft2 = VARIANT_TRUE, lnspi = VARIANT_TRUE, again = VARIANT_TRUE;
        BSTR other = SysAllocString(L"Another display"), address = SysAllocString(L"1/3");
        CHECK_HR(dual->StartApp(&device, &system, &version, &ft2, &other, &address, &collection, &lnspi, &again), S_OK);
        SysFreeString(other);
        SysFreeString(address);
        if (device) device->Release();
        return again;
    };
    CHECK_EQ(startAgain(), VARIANT_FALSE);

    Args none;
    Invoked run;
    Call(run, dual.Get(), kRunFullAppView, none);
    CHECK_HR(run.hr, S_OK);
    CHECK(V_VT(&run.result) == VT_I4 && V_I4(&run.result) == -1);
    Pump(200);
    HWND window = FindShownWindow(kDescription);
    CHECK(window != nullptr);
    CHECK(FindShownWindow(L"Another display") == nullptr);

    g_insideExitApp = true;
    HRESULT exitHr = dual->ExitApp();
    g_insideExitApp = false;
    CHECK_HR(exitHr, S_OK);
    CHECK_EQ(first->received.size(), 1u);
    CHECK_EQ(second->received.size(), 1u);
    for (auto* sink : {first.Get(), second.Get()})
        for (auto& e : sink->received) CHECK(e.id == 1 && e.inside);
    CHECK(!window || !IsWindow(window) || !IsWindowVisible(window));

    // Closed: nothing more happens, RunFullAppView fails and the object stays used.
    CHECK_HR(dual->ExitApp(), S_OK);
    CHECK_EQ(first->received.size(), 1u);
    Invoked after;
    Call(after, dual.Get(), kRunFullAppView, none);
    CHECK_HR(after.hr, DISP_E_EXCEPTION);
    CHECK_EQ(startAgain(), VARIANT_FALSE);

    CHECK_HR(cp->Unadvise(c1), S_OK);
    CHECK_HR(cp->Unadvise(c1), CONNECT_E_NOCONNECTION);
    CHECK_HR(cp->Unadvise(c2), S_OK);
}

TEST_CASE(ClosingTheWindowTellsTheHost) {
    if (!SimulatedWorld::Available()) SKIP("the simulated components are not registered");
    SimulatedWorld world;
    HostSession s;
    if (!world.Start(s.server.Get(), kDescription, L"1/2")) return;
    HWND window = s.Open(kDescription);
    if (!window) return;
    SendMessageW(window, WM_CLOSE, 0, 0);
    Pump(200);
    CHECK_EQ(s.AppExits(), 1u);
    CHECK(FindShownWindow(kDescription) == nullptr);
    CHECK_HR(s.server->ExitApp(), S_OK);
    CHECK_EQ(s.AppExits(), 1u);
}

// An object in use, or a display left open by a host that let go of it: exit_host_test.
TEST_CASE(DllStaysLoadedWhileAnythingOfItIsInUse) {
    CHECK_HR(CanUnloadNow(), S_OK);
    ComRef<IClassFactory> factory;
    CHECK_HR(CoGetClassObject(CLSID_IHalvernServer, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.Put())),
             S_OK);
    if (!factory) return;
    CHECK_HR(CanUnloadNow(), S_FALSE);
    CHECK_HR(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    CHECK_HR(CanUnloadNow(), S_FALSE);
    CHECK_HR(CoGetClassObject(CLSID_IHalvernServer, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.Put())),
             S_OK);
    if (factory) factory->LockServer(FALSE);
    factory.Reset();
    CHECK_HR(CanUnloadNow(), S_OK);
}

TEST_CASE(OtherBitnessCarriesATypeLibraryOfItsOwnLayout) {
    if (g_otherBuild.empty()) SKIP("no DLL of the other bitness given");
    ComRef<ITypeLib> lib;
    CHECK_HR(LoadTypeLibEx(g_otherBuild.c_str(), REGKIND_NONE, lib.Put()), S_OK);
    if (lib) CheckLayout(lib.Get(), sizeof(void*) == 8 ? SYS_WIN32 : SYS_WIN64, sizeof(void*) == 8 ? 4 : 8);
}

int main(int argc, char** argv) {
    if (argc > 1) {
        int n = MultiByteToWideChar(CP_ACP, 0, argv[1], -1, nullptr, 0);
        g_otherBuild.resize(static_cast<size_t>(n > 0 ? n - 1 : 0));
        MultiByteToWideChar(CP_ACP, 0, argv[1], -1, g_otherBuild.data(), n);
    }
    OleInitialize(nullptr);
    int rc = RunAll("com_host_test");
    OleUninitialize();
    return rc;
}
