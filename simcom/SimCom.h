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
#include "win32/comsupport/Automation.h"
#include "win32/comsupport/ComRef.h"
#include "win32/comsupport/Events.h"

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

inline Variant Bool(automation::VBool b) { return Variant::FromBool(automation::IsTrue(b)); }

// A handler's body, with `s` the sim object as T and `a` the arguments.
#define QSIM_ON(T, ...)                                                \
    [](qsim::ComObject& self_, qsim::Args& a) -> automation::Variant { \
        [[maybe_unused]] T& s = qsim::Of<T>(self_);                    \
        (void)a;                                                       \
        __VA_ARGS__                                                    \
    }

class ComObject : public win32::ComBase<IDispatch, IConnectionPointContainer, win32::ClassInfoProvider> {
public:
    ComObject(ObjectRef target, const Kind& kind);
    ~ComObject() override;

    const ObjectRef& Target() const { return target_; }
    void Answer(std::u16string_view iid) { iids_.push_back(iid); }
    void Keep(automation::Subscription s) { subscriptions_.push_back(std::move(s)); }
    // Raises a notification to every sink; arguments left to right.
    void Fire(DISPID id, std::vector<Variant> args = {});

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                                     UINT* argErr) override;
    // Runs member `id` of `members` as Invoke runs the kind's own.
    HRESULT Call(std::span<const Member> members, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info);

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

protected:
    // Every call on a member ends here: a change for the controls to redraw.
    virtual void Called() {}
    // The interfaces named in the kind; the events' only for a kind with notifications.
    void* Find(REFIID iid) override;
    HRESULT ClassTypeInfo(ITypeInfo** out) override;
    const IID* DefaultSource() const override { return kind_.source; }

private:
    ObjectRef target_;
    const Kind& kind_;
    std::vector<std::u16string_view> iids_;
    win32::ConnectionPoint events_;
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
// The full path of this DLL.
std::wstring ModulePath();

// A new wrapper for a sim object of one of the classes below; null for an unknown kind.
IDispatch* NewWrapper(const ObjectRef& obj);
// The simulated ActiveX controls, by the sim object their class id created.
IDispatch* NewControl(const ObjectRef& obj, const CLSID& clsid);
IDispatch* NewConfiguration();
// The name of the LNS device behind a device object or its link, read without a call.
BStr DeviceNameOf(const ObjectRef& deviceOrLink);
// What a workspace control shows, one line each; empty for none.
BStr WorkspaceText(const ObjectRef& workspace);

using win32::Wide;
// A type description of this DLL's library, by its id.
HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** out);

}  // namespace qsim
