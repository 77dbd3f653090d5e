#include "win32/com/TypedDispatch.h"

#include <vector>

#include "win32/com/ComErrors.h"
#include "win32/comsupport/ComRef.h"

namespace win32::com {
namespace {

// How a declared parameter is passed.
struct ParamShape {
    VARTYPE vt = VT_EMPTY;  // the value; VT_DISPATCH or VT_UNKNOWN for an interface pointer
    bool byRef = false;     // a pointer to the value is passed
    IID iid = IID_NULL;     // the interface asked of an object argument
};

class FuncDescHolder {
public:
    FuncDescHolder(ITypeInfo* info, FUNCDESC* fd) : info_(info), fd_(fd) {}
    FuncDescHolder(const FuncDescHolder&) = delete;
    FuncDescHolder& operator=(const FuncDescHolder&) = delete;
    ~FuncDescHolder() {
        if (fd_) info_->ReleaseFuncDesc(fd_);
    }
    FUNCDESC* operator->() const { return fd_; }

private:
    ITypeInfo* info_;
    FUNCDESC* fd_;
};

// Owns the argument values for one call.
class Values {
public:
    explicit Values(size_t n) : v_(n) {
        for (auto& v : v_) VariantInit(&v);
    }
    Values(const Values&) = delete;
    Values& operator=(const Values&) = delete;
    ~Values() {
        for (auto& v : v_) VariantClear(&v);
    }
    VARIANT& operator[](size_t i) { return v_[i]; }

private:
    std::vector<VARIANT> v_;
};

bool IsPlainType(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_BOOL:
        case VT_ERROR:
        case VT_VARIANT: return true;
        default: return false;
    }
}

HRESULT ShapeOf(ITypeInfo* owner, const TYPEDESC& desc, int pointers, ParamShape& shape) {
    const TYPEDESC* t = &desc;
    while (t->vt == VT_PTR) {
        if (!t->lptdesc) return DISP_E_BADVARTYPE;
        t = t->lptdesc;
        ++pointers;
    }
    if (t->vt == VT_USERDEFINED) {
        ComRef<ITypeInfo> ref;
        if (FAILED(owner->GetRefTypeInfo(t->hreftype, ref.Put()))) return DISP_E_BADVARTYPE;
        TYPEATTR* attr = nullptr;
        if (FAILED(ref->GetTypeAttr(&attr))) return DISP_E_BADVARTYPE;
        HRESULT hr = S_OK;
        switch (attr->typekind) {
            case TKIND_INTERFACE:
            case TKIND_DISPATCH:
                if (pointers < 1) {
                    hr = DISP_E_BADVARTYPE;
                    break;
                }
                --pointers;  // the interface pointer is the value
                shape.vt =
                    (attr->typekind == TKIND_DISPATCH || (attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE)) ? VT_DISPATCH : VT_UNKNOWN;
                shape.iid = attr->guid;
                break;
            case TKIND_ENUM: shape.vt = VT_I4; break;
            case TKIND_ALIAS: {
                TYPEDESC alias = attr->tdescAlias;
                ref->ReleaseTypeAttr(attr);
                return ShapeOf(ref.Get(), alias, pointers, shape);
            }
            default: hr = DISP_E_BADVARTYPE;
        }
        ref->ReleaseTypeAttr(attr);
        if (FAILED(hr)) return hr;
    } else if (t->vt == VT_DISPATCH || t->vt == VT_UNKNOWN) {
        shape.vt = t->vt;
        shape.iid = t->vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
    } else if (IsPlainType(t->vt)) {
        shape.vt = t->vt;
    } else {
        return DISP_E_BADVARTYPE;
    }
    if (pointers > 1) return DISP_E_BADVARTYPE;
    shape.byRef = pointers == 1;
    return S_OK;
}

bool IsMissing(const VARIANT& v) { return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND; }

// The argument as a value of the declared type, in `out` (VT_EMPTY on entry).
HRESULT Coerce(const VARIANT& arg, const ParamShape& shape, LCID lcid, VARIANT& out) {
    const VARIANT* src = &arg;
    for (int depth = 0; V_VT(src) == (VT_BYREF | VT_VARIANT); ++depth) {
        if (depth > 8 || !V_VARIANTREF(src)) return DISP_E_TYPEMISMATCH;
        src = V_VARIANTREF(src);
    }
    if ((V_VT(src) & VT_BYREF) && !V_BYREF(src)) return DISP_E_TYPEMISMATCH;
    VARIANT value;
    VariantInit(&value);
    if (FAILED(VariantCopyInd(&value, const_cast<VARIANT*>(src)))) return DISP_E_TYPEMISMATCH;

    if (shape.vt == VT_VARIANT) {
        out = value;  // takes over the copy
        return S_OK;
    }
    if (shape.vt == VT_DISPATCH || shape.vt == VT_UNKNOWN) {
        IUnknown* unk = nullptr;
        switch (V_VT(&value)) {
            case VT_EMPTY:
            case VT_NULL: break;
            case VT_DISPATCH: unk = V_DISPATCH(&value); break;
            case VT_UNKNOWN: unk = V_UNKNOWN(&value); break;
            default: VariantClear(&value); return DISP_E_TYPEMISMATCH;
        }
        void* wanted = nullptr;
        HRESULT hr = unk ? unk->QueryInterface(shape.iid, &wanted) : S_OK;
        VariantClear(&value);
        if (FAILED(hr) || (unk && !wanted)) return DISP_E_TYPEMISMATCH;
        V_VT(&out) = shape.vt;
        V_UNKNOWN(&out) = static_cast<IUnknown*>(wanted);  // an interface of that id, null for none
        return S_OK;
    }
    // A DECIMAL with a scale beyond 28 or stray sign bits is no number. Windows refuses to convert
    // it, but Wine's runtime turns some of them into text and reads past its buffer doing so
    // (scale 253, negative): refused here before any conversion sees it.
    if (V_VT(&value) == VT_DECIMAL && (V_DECIMAL(&value).scale > 28 || (V_DECIMAL(&value).sign & ~DECIMAL_NEG) != 0)) {
        VariantClear(&value);
        return DISP_E_TYPEMISMATCH;
    }
    HRESULT hr = VariantChangeTypeEx(&out, &value, lcid, 0, shape.vt);
    VariantClear(&value);
    if (FAILED(hr)) return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
    return S_OK;
}

// The variant handed to the member: the value itself, or a by-reference variant pointing at it.
VARIANT PassAs(VARIANT& value, const ParamShape& shape) {
    VARIANT pass;
    VariantInit(&pass);
    if (!shape.byRef) {
        pass = value;  // shallow: the value keeps ownership
    } else if (shape.vt == VT_VARIANT) {
        V_VT(&pass) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&pass) = &value;
    } else {
        V_VT(&value) = shape.vt;
        V_VT(&pass) = VT_BYREF | shape.vt;
        V_BYREF(&pass) = &V_UI1(&value);  // every value but DECIMAL starts there
    }
    return pass;
}

}  // namespace

HRESULT InvokeTyped(ITypeInfo* info, void* object, DISPID member, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                    EXCEPINFO* excepInfo, UINT* argErr) {
    if (!info || !object) return E_UNEXPECTED;
    if (!params) return E_INVALIDARG;
    const UINT cArgs = params->cArgs;
    const UINT cNamed = params->cNamedArgs;
    if ((cArgs && !params->rgvarg) || cNamed > cArgs || (cNamed && !params->rgdispidNamedArgs)) return E_INVALIDARG;

    TYPEATTR* attr = nullptr;
    HRESULT hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const UINT funcCount = attr->cFuncs;
    info->ReleaseTypeAttr(attr);

    FUNCDESC* found = nullptr;
    for (UINT i = 0; i < funcCount && !found; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(info->GetFuncDesc(i, &fd))) continue;
        if (fd->memid == member && fd->invkind == INVOKE_FUNC) found = fd;
        else info->ReleaseFuncDesc(fd);
    }
    if (!found) return DISP_E_MEMBERNOTFOUND;
    FuncDescHolder fd(info, found);
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;

    const UINT total = static_cast<UINT>(fd->cParams);
    const bool hasRetval = total > 0 && (fd->lprgelemdescParam[total - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    const UINT n = hasRetval ? total - 1 : total;
    if (cArgs > n) return DISP_E_BADPARAMCOUNT;

    // Which argument fills each parameter: positional ones come last in rgvarg, in reverse order.
    std::vector<int> slot(n, -1);
    const UINT positional = cArgs - cNamed;
    for (UINT k = 0; k < positional; ++k) slot[k] = static_cast<int>(cArgs - 1 - k);
    for (UINT i = 0; i < cNamed; ++i) {
        DISPID id = params->rgdispidNamedArgs[i];
        if (id < 0 || static_cast<UINT>(id) >= n || slot[id] != -1) {
            if (argErr) *argErr = i;
            return DISP_E_PARAMNOTFOUND;
        }
        slot[id] = static_cast<int>(i);
    }
    for (UINT p = 0; p < n; ++p) {
        if (slot[p] == -1) return cNamed ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
        if (IsMissing(params->rgvarg[slot[p]])) {
            if (argErr) *argErr = static_cast<UINT>(slot[p]);
            return DISP_E_PARAMNOTOPTIONAL;
        }
    }

    Values values(total);
    std::vector<VARIANT> pass(total);
    std::vector<VARTYPE> types(total);
    std::vector<VARIANTARG*> passPtrs(total);
    for (UINT p = 0; p < total; ++p) {
        ParamShape shape;
        hr = ShapeOf(info, fd->lprgelemdescParam[p].tdesc, 0, shape);
        if (FAILED(hr)) return hr;
        if (p < n) {
            hr = Coerce(params->rgvarg[slot[p]], shape, lcid, values[p]);
            if (FAILED(hr)) {
                if (argErr) *argErr = static_cast<UINT>(slot[p]);
                return hr;
            }
        } else if (!shape.byRef) {
            return DISP_E_BADVARTYPE;  // a result is always returned through a pointer
        }
        pass[p] = PassAs(values[p], shape);
        types[p] = V_VT(&pass[p]);
        passPtrs[p] = &pass[p];
    }

    // DispCallFunc takes an HRESULT result as VT_ERROR and no result as VT_EMPTY.
    const VARTYPE declared = fd->elemdescFunc.tdesc.vt;
    VARTYPE returned = declared;
    if (declared == VT_HRESULT) returned = VT_ERROR;
    else if (declared == VT_VOID) returned = VT_EMPTY;
    VARIANT callResult;
    VariantInit(&callResult);
    hr = DispCallFunc(object, fd->oVft & ~static_cast<decltype(fd->oVft)>(3), fd->callconv, returned, total, types.data(),
                      passPtrs.data(), &callResult);
    if (FAILED(hr)) return hr;
    const HRESULT memberResult = declared == VT_HRESULT ? V_ERROR(&callResult) : S_OK;
    VariantClear(&callResult);
    if (FAILED(memberResult)) {
        if (!excepInfo) return memberResult;
        FillExcepInfo(memberResult, excepInfo);
        return DISP_E_EXCEPTION;
    }
    if (result) {
        VariantInit(result);
        if (hasRetval) {
            *result = values[n];  // hands the result over
            VariantInit(&values[n]);
        }
    }
    return S_OK;
}

}  // namespace win32::com
