#include "win32/comsupport/TypeInfo.h"

namespace win32 {

ComRef<ITypeInfo> VtableSide(ComRef<ITypeInfo> info) {
    TYPEATTR* attr = nullptr;
    if (!info || FAILED(info->GetTypeAttr(&attr)) || !attr) return {};
    const TYPEKIND kind = attr->typekind;
    const bool dual = (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0;
    info->ReleaseTypeAttr(attr);
    if (kind == TKIND_INTERFACE) return info;
    if (kind != TKIND_DISPATCH || !dual) return {};
    HREFTYPE ref = 0;
    ComRef<ITypeInfo> side;
    if (FAILED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) || FAILED(info->GetRefTypeInfo(ref, side.Put())))
        return {};
    return side;
}

ComRef<ITypeInfo> DefaultSourceOf(ITypeInfo* coclass) {
    TYPEATTR* attr = nullptr;
    if (!coclass || FAILED(coclass->GetTypeAttr(&attr)) || !attr) return {};
    const WORD count = attr->typekind == TKIND_COCLASS ? attr->cImplTypes : 0;
    coclass->ReleaseTypeAttr(attr);
    constexpr INT kWanted = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
    for (UINT i = 0; i < count; ++i) {
        INT flags = 0;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || (flags & kWanted) != kWanted) continue;
        HREFTYPE ref = 0;
        ComRef<ITypeInfo> source;
        if (SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref)) && SUCCEEDED(coclass->GetRefTypeInfo(ref, source.Put())))
            return source;
    }
    return {};
}

}  // namespace win32
