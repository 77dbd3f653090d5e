#pragma once
// The COM face of the simulated world (sim/): every COM object of QuilletSimComponents.dll stands
// for one sim object and forwards its calls to it. Members are looked up in a table of names,
// dispatch ids and handlers; arguments and results cross as automation values, objects as the
// wrappers of their sim objects, errors as HRESULTs with IErrorInfo carrying the same text.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <span>
#include <vector>

#include "QuilletSim.h"
#include "automation/Variant.h"
#include "sim/SimWorld.h"
#include "win32/adapters/ComRef.h"

namespace qsim {

using automation::BStr;
using automation::ObjectRef;
using automation::Variant;
using win32::ComRef;

extern HINSTANCE g_module;

// The one world of the process; COM clients configure it through "QuilletSim.Control".
sim::SimWorld& World();
// A fresh world's configuration, plus the workspace classes of this DLL.
void ResetWorld();

// The arguments of one call, left to right; a property put's value comes last. A handler may
// replace an object argument the caller passed by reference.
struct Args {
    std::vector<Variant> in;
    bool put = false;
    const Variant& operator[](std::size_t i) const;  // a left-out argument reads as Empty
    BStr Str(std::size_t i) const { return (*this)[i].AsStr(); }
    bool Bool(std::size_t i) const { return automation::IsTrue((*this)[i].AsBool()); }
    ObjectRef Obj(std::size_t i) const { return (*this)[i].AsObject(); }
    // Hands an object back through a by-reference argument.
    void Replace(std::size_t i, ObjectRef obj) {
        if (i < in.size()) in[i] = Variant(std::move(obj));
    }
};

class ComObject;
using Handler = Variant (*)(ComObject& self, Args& args);
struct Member {
    const char16_t* name;
    DISPID id;
    Handler run;
};

// What a class of COM objects answers: the interfaces its IDispatch stands for, its members, and
// for classes with notifications their source interface and coclass.
struct Kind {
    std::vector<std::u16string_view> iids;
    std::span<const Member> members;
    const IID* source = nullptr;
    const CLSID* clsid = nullptr;
    const IID* typeInfo = nullptr;  // a dispinterface of our library describing the members
};

// A handler's body, with `s` the sim object as T and `a` the arguments.
#define QSIM_ON(T, ...)                                                \
    [](qsim::ComObject& self_, qsim::Args& a) -> automation::Variant { \
        [[maybe_unused]] T& s = qsim::Of<T>(self_);                    \
        (void)a;                                                       \
        __VA_ARGS__                                                    \
    }

class Source;

// Reference counting and QueryInterface of the small helper objects with one interface.
template <class Itf>
class Counted : public Itf {
public:
    virtual ~Counted() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = iid == IID_IUnknown || iid == __uuidof(Itf) ? static_cast<Itf*>(this) : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

private:
    LONG refs_ = 1;
};

class ComObject : public IDispatch, public IConnectionPointContainer, public IProvideClassInfo2 {
public:
    ComObject(ObjectRef target, const Kind& kind);
    virtual ~ComObject();
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    const ObjectRef& Target() const { return target_; }
    void Answer(std::u16string_view iid) { iids_.push_back(iid); }
    void Keep(automation::Subscription s) { subscriptions_.push_back(std::move(s)); }
    // Raises a notification to every sink; arguments left to right.
    void Fire(DISPID id, std::vector<Variant> args = {});

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                                     UINT* argErr) override;

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* out) override;

protected:
    // Further interfaces of a derived class (the OLE control ones); not AddRef'ed.
    virtual void* Extra(REFIID) { return nullptr; }
    // Every call on a member ends here: a change for the controls to redraw.
    virtual void Called() {}

private:
    LONG refs_ = 1;
    ObjectRef target_;
    const Kind& kind_;
    std::vector<std::u16string_view> iids_;
    ComRef<Source> source_;
    std::vector<automation::Subscription> subscriptions_;
};

#define QSIM_UNKNOWN                                                                                                          \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return ComObject::QueryInterface(iid, out); } \
    ULONG STDMETHODCALLTYPE AddRef() override { return ComObject::AddRef(); }                                                 \
    ULONG STDMETHODCALLTYPE Release() override { return ComObject::Release(); }

// The sim object behind a wrapper as T; a wrapper whose object is not one has no such member.
template <class T>
T& Of(ComObject& o) {
    if (auto* p = dynamic_cast<T*>(o.Target().get())) return *p;
    automation::Raise(DISP_E_MEMBERNOTFOUND, u"Member not found");
}

// The COM object of a sim object (its one wrapper while that lives, a new one otherwise), or the
// outside object an argument brought in; a new reference, null for none.
IDispatch* ToCom(const ObjectRef& obj);
// The sim object behind one of our wrappers, or an object holding an outside one.
ObjectRef FromCom(IUnknown* unk);
Variant FromVariant(const VARIANT& v);
void ToVariant(const Variant& in, VARIANT* out);  // out must be VariantInit'ed
// An enumerator object over the values, as _NewEnum gives it.
ObjectRef Enumerator(std::vector<Variant> items);

// Reports a failure through IErrorInfo (and EXCEPINFO when given); the HRESULT to return.
HRESULT Report(const automation::Error& e, EXCEPINFO* info = nullptr);

// A new wrapper for a sim object of one of the classes below; null for an unknown kind.
IDispatch* NewWrapper(const ObjectRef& obj);
// The simulated ActiveX controls, by the sim object their class id created.
IDispatch* NewControl(const ObjectRef& obj, const CLSID& clsid);
IDispatch* NewConfiguration();
// The name of the LNS device behind a device object or its link, read without a call.
BStr DeviceNameOf(const ObjectRef& deviceOrLink);
// What a workspace control shows, one line each; empty for none.
BStr WorkspaceText(const ObjectRef& workspace);

const wchar_t* W(const BStr& s);
// A type description of this DLL's library, by its id.
HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** out);

}  // namespace qsim
