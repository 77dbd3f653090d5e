#pragma once
// Calls on an outside object through IDispatch: names looked up once with GetIDsOfNames and kept,
// arguments and results as VARIANTs, every failure an automation::Error.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "automation/Error.h"
#include "automation/Variant.h"
#include "win32/comsupport/Automation.h"
#include "win32/comsupport/ComRef.h"

namespace win32::adapters {

// An owned VARIANT, cleared when it goes.
class Var {
public:
    Var() { VariantInit(&v_); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    Var(Var&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
    Var& operator=(Var&& o) noexcept {
        if (this != &o) {
            VariantClear(&v_);
            v_ = o.v_;
            VariantInit(&o.v_);
        }
        return *this;
    }
    ~Var() { VariantClear(&v_); }

    // An automation value as a VARIANT.
    static Var Of(const automation::Variant& v);
    static Var Bool(bool b) { return Of(automation::Variant::FromBool(b)); }
    static Var I2(std::int16_t i) { return Of(automation::Variant(i)); }
    static Var I4(std::int32_t i) { return Of(automation::Variant(i)); }
    static Var R4(float f) { return Of(automation::Variant(f)); }
    static Var Str(std::u16string_view s) { return Of(automation::Variant(automation::BStr(s))); }
    static Var Dispatch(IDispatch* d);  // takes a new reference; null gives Nothing
    // Points at the caller's storage; the storage must outlive the call.
    static Var ByRef(VARTYPE type, void* where);
    // An optional argument left out.
    static Var Missing();

    VARIANT* Ptr() { return &v_; }
    const VARIANT& Ref() const { return v_; }

private:
    VARIANT v_;
};

// Readers of results: a value of an unexpected kind is a type-mismatch error.
automation::VBool ResultBool(const VARIANT& v);
std::int16_t ResultI2(const VARIANT& v);
std::int32_t ResultI4(const VARIANT& v);
automation::BStr ResultStr(const VARIANT& v);
// Nothing, Empty and Null give none; an IUnknown without IDispatch is a type mismatch.
ComRef<IDispatch> ResultDispatch(const VARIANT& v);

// Raises the automation::Error for a failed call; `member` names what was called.
[[noreturn]] void RaiseHresult(HRESULT hr, EXCEPINFO* info, std::u16string_view member);
// Raises for a failed HRESULT and returns otherwise.
void Check(HRESULT hr, std::u16string_view what);

class LateBound {
public:
    LateBound() = default;
    explicit LateBound(ComRef<IDispatch> disp) : disp_(std::move(disp)) {}

    IDispatch* Get() const { return disp_.Get(); }
    explicit operator bool() const { return static_cast<bool>(disp_); }

    // The member's dispatch id; an unknown name is an error.
    DISPID Id(std::u16string_view name);
    // Whether the object knows the name, without raising.
    bool Knows(std::u16string_view name) noexcept;

    // Arguments in call order (the first is the leftmost).
    Var Call(std::u16string_view name, std::vector<Var> args = {});
    Var CallId(DISPID id, std::vector<Var> args = {}, std::u16string_view what = {});
    Var Get(std::u16string_view name, std::vector<Var> args = {});
    void Put(std::u16string_view name, Var value);
    void PutId(DISPID id, Var value, std::u16string_view what = {});

    Var Invoke(DISPID id, WORD flags, std::vector<Var>& args, std::u16string_view what);

private:
    ComRef<IDispatch> disp_;
    std::map<automation::BStr, DISPID> ids_;  // keyed by the upper-cased name
};

}  // namespace win32::adapters
