// The container of an ActiveX control made from a ProgID: a child window of atl.dll's host class
// "AtlAxWin" whose title names the control. atl.dll is loaded when first needed.
#include <objbase.h>

#include "automation/ComponentFactory.h"
#include "automation/Error.h"
#include "win32/adapters/Adapters.h"
#include "win32/ui/NativePeer.h"

namespace win32::backend {
namespace {

// What the automation runtime answers when an object cannot be made.
constexpr std::int32_t kCannotCreateObject = static_cast<std::int32_t>(0x800A01AD);

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

template <class Fn>
Fn ProcAs(FARPROC p) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

// Wine's AtlAxWinInit fails once the host class exists in the process, which is just as good.
bool HostClassExists(HMODULE atl) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    return GetClassInfoExW(GetModuleHandleW(nullptr), L"AtlAxWin", &wc) || GetClassInfoExW(atl, L"AtlAxWin", &wc);
}

// atl.dll stays loaded for the life of the process: its window class serves every host window.
struct AtlHost {
    AtlAxGetControlFn getControl = nullptr;
    bool ready = false;

    static AtlHost& Get() {
        static AtlHost host = [] {
            AtlHost h;
            HMODULE atl = LoadLibraryW(L"atl.dll");
            if (!atl) return h;
            auto init = ProcAs<AtlAxWinInitFn>(GetProcAddress(atl, "AtlAxWinInit"));
            h.getControl = ProcAs<AtlAxGetControlFn>(GetProcAddress(atl, "AtlAxGetControl"));
            h.ready = init && h.getControl && (init() || HostClassExists(atl));
            return h;
        }();
        return host;
    }
};

[[noreturn]] void CannotCreate() { automation::Raise(kCannotCreateObject, u"ActiveX component can't create object"); }

class HostedPeer final : public NativePeer {
public:
    HostedPeer(Backend& b, ui::HostedControl& h) : NativePeer(b, h), hosted_(h) {}
    ~HostedPeer() override { HostedPeer::Release(); }

    void Create() override {
        // Checked here: the host window would take a name it does not know for a web address.
        CLSID clsid;
        const auto& progId = hosted_.ProgId();
        if (progId.empty() || (FAILED(CLSIDFromString(W(progId), &clsid)) && FAILED(CLSIDFromProgID(W(progId), &clsid))))
            CannotCreate();
        AtlHost& atl = AtlHost::Get();
        if (!atl.ready) CannotCreate();
        // The host subclasses its window itself and undoes only its own subclass when it goes.
        subclass_ = false;
        MakeChild(L"AtlAxWin", WS_CLIPCHILDREN | WS_TABSTOP, 0, false, W(progId));
        IUnknown* unk = nullptr;
        if (FAILED(atl.getControl(hwnd_, &unk)) || !unk) {
            Release();
            CannotCreate();
        }
        automation::ObjectRef object;
        try {
            object = adapters::WrapHostedControl(unk);
        } catch (...) {
            unk->Release();
            Release();
            throw;
        }
        unk->Release();
        // A control the system cannot drive still shows; its Object is then none.
        hosted_.SetObject(automation::Components().Decorate(progId, std::move(object)));
    }

    void Release() override {
        // Our reference goes before the host window lets go of the control.
        if (hosted_.Object()) hosted_.SetObject(nullptr);
        NativePeer::Release();
    }

private:
    ui::HostedControl& hosted_;
};

}  // namespace

std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::HostedControl& h) { return std::make_unique<HostedPeer>(b, h); }

}  // namespace win32::backend
