// Notifications of outside objects: finding their source interface and sinking it.
#include <array>

#include "win32/adapters/Adapters.h"
#include "win32/adapters/Internal.h"
#include "win32/comsupport/TypeInfo.h"

namespace win32::adapters {

using automation::BStr;

namespace {

bool GuidOf(ITypeInfo* info, IID* iid) {
    TYPEATTR* attr = nullptr;
    if (!info || FAILED(info->GetTypeAttr(&attr)) || !attr) return false;
    *iid = attr->guid;
    info->ReleaseTypeAttr(attr);
    return true;
}

// The type info of `iid` from the library the object's own type info comes from.
ComRef<ITypeInfo> FromObjectLibrary(IUnknown* object, const IID& iid) {
    ComRef<IDispatch> disp;
    if (FAILED(object->QueryInterface(IID_IDispatch, disp.PutVoid())) || !disp) return {};
    ComRef<ITypeInfo> own;
    if (FAILED(disp->GetTypeInfo(0, LOCALE_USER_DEFAULT, own.Put())) || !own) return {};
    ComRef<ITypeLib> lib;
    UINT index = 0;
    if (FAILED(own->GetContainingTypeLib(lib.Put(), &index)) || !lib) return {};
    ComRef<ITypeInfo> found;
    if (FAILED(lib->GetTypeInfoOfGuid(iid, found.Put()))) return {};
    return found;
}

bool IsDispatchBase(const BStr& name) {
    static const std::array<std::u16string_view, 7> kBase = {u"QueryInterface", u"AddRef",        u"Release", u"GetTypeInfoCount",
                                                             u"GetTypeInfo",    u"GetIDsOfNames", u"Invoke"};
    for (auto b : kBase)
        if (name == b) return true;
    return false;
}

}  // namespace

std::optional<SourceInterface> FindSourceInterface(IUnknown* object) {
    if (!object) return std::nullopt;
    SourceInterface found;
    ComRef<IProvideClassInfo> provide;
    object->QueryInterface(IID_IProvideClassInfo, provide.PutVoid());
    if (provide) {
        ComRef<ITypeInfo> coclass;
        if (SUCCEEDED(provide->GetClassInfo(coclass.Put()))) found.typeInfo = DefaultSourceOf(coclass.Get());
        if (auto two = provide.As<IProvideClassInfo2>(IID_IProvideClassInfo2);
            two && SUCCEEDED(two->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &found.iid))) {
            if (!found.typeInfo) found.typeInfo = FromObjectLibrary(object, found.iid);
            return found;
        }
        if (found.typeInfo && GuidOf(found.typeInfo.Get(), &found.iid)) return found;
    }
    ComRef<IConnectionPointContainer> container;
    object->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (!container) return std::nullopt;
    ComRef<IEnumConnectionPoints> points;
    if (FAILED(container->EnumConnectionPoints(points.Put())) || !points) return std::nullopt;
    ComRef<IConnectionPoint> first;
    ULONG got = 0;
    if (points->Next(1, first.Put(), &got) != S_OK || !first) return std::nullopt;
    if (FAILED(first->GetConnectionInterface(&found.iid))) return std::nullopt;
    found.typeInfo = FromObjectLibrary(object, found.iid);
    return found;
}

std::vector<EventMember> EventMembers(ITypeInfo* source) {
    std::vector<EventMember> members;
    TYPEATTR* attr = nullptr;
    if (!source || FAILED(source->GetTypeAttr(&attr)) || !attr) return members;
    WORD count = attr->cFuncs;
    source->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(source->GetFuncDesc(i, &desc)) || !desc) continue;
        MEMBERID id = desc->memid;
        source->ReleaseFuncDesc(desc);
        BSTR name = nullptr;
        if (FAILED(source->GetDocumentation(id, &name, nullptr, nullptr, nullptr))) continue;
        BStr text = BstrText(name);
        SysFreeString(name);
        if (!IsDispatchBase(text)) members.push_back({id, std::move(text)});
    }
    return members;
}

automation::Variant EventArgument(const DISPPARAMS* params, unsigned index) {
    if (!params || index >= params->cArgs || !params->rgvarg) return {};
    return FromVariant(params->rgvarg[params->cArgs - 1 - index]);
}

// The sink the outside object calls; it answers the source interface and IDispatch.
class EventConnection::Sink final : public ComBase<IDispatch> {
public:
    Sink(const IID& source, Handler handler) : source_(source), handler_(std::move(handler)) {}

    void Disconnect() { handler_ = nullptr; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                                     UINT*) override {
        if (result) VariantInit(result);
        // The handler may end the connection (and this sink's last outside reference) while it runs.
        ComRef<Sink> keep(this);
        Handler handler = handler_;
        if (!handler) return S_OK;
        try {
            handler(id, params);
            return S_OK;
        } catch (const automation::Error& e) {
            return ExcepInfoFrom(e, info);
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

private:
    ~Sink() override = default;
    void* Extra(REFIID iid) override { return iid == source_ ? static_cast<IDispatch*>(this) : nullptr; }

    IID source_;
    Handler handler_;
    Counted counted_{&HandedOut()};
};

std::unique_ptr<EventConnection> EventConnection::Connect(IUnknown* object, const IID& source, Handler handler) {
    if (!object) return nullptr;
    ComRef<IConnectionPointContainer> container;
    if (FAILED(object->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) || !container) return nullptr;
    std::unique_ptr<EventConnection> c(new EventConnection);
    if (FAILED(container->FindConnectionPoint(source, c->point_.Put())) || !c->point_) return nullptr;
    c->sink_ = ComRef<Sink>::Adopt(new Sink(source, std::move(handler)));
    if (FAILED(c->point_->Advise(c->sink_.Get(), &c->cookie_))) {
        c->sink_->Disconnect();
        c->point_.Reset();
        return nullptr;
    }
    return c;
}

EventConnection::~EventConnection() {
    if (sink_) sink_->Disconnect();
    if (point_) point_->Unadvise(cookie_);
}

}  // namespace win32::adapters
