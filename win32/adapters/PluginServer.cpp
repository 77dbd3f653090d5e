// The plug-in server, its feature list, features and plug-in entries, reached late-bound; its
// notifications sunk through its connection point.
#include "win32/adapters/Adapters.h"
#include "win32/adapters/Internal.h"

namespace win32::adapters {

using automation::BStr;
using automation::Variant;

namespace {

class FeatureAdapter final : public outside::IFeature, public LateBoundAdapter {
public:
    using LateBoundAdapter::LateBoundAdapter;
    std::int16_t Id() override { return ResultI2(d_.Get(u"Id").Ref()); }
    BStr Caption() override { return ResultStr(d_.Get(u"Caption").Ref()); }
};

// A feature that comes as something other than an object is a type mismatch.
std::shared_ptr<outside::IFeature> FeatureOf(const VARIANT& v) {
    auto d = ResultDispatch(v);
    if (!d) automation::RaiseObjectNotSet(u"Feature");
    return WrapFeature(d.Get());
}

class FeatureListAdapter final : public outside::IFeatureList, public LateBoundAdapter {
public:
    using LateBoundAdapter::LateBoundAdapter;
    std::int16_t Count() override { return ResultI2(d_.Get(u"Count").Ref()); }
    std::shared_ptr<outside::IFeature> Item(std::int16_t featureId) override {
        std::vector<Var> args;
        args.push_back(Var::I2(featureId));
        return FeatureOf(d_.Get(u"Item", std::move(args)).Ref());
    }
    std::vector<std::shared_ptr<outside::IFeature>> Features() override {
        Var enumerator = d_.CallId(DISPID_NEWENUM, {}, u"_NewEnum");
        std::vector<std::shared_ptr<outside::IFeature>> features;
        for (const Variant& item : Enumerate(enumerator.Ref())) {
            auto obj = item.AsObject();
            auto adapter = std::dynamic_pointer_cast<ComAdapter>(obj);
            if (!adapter || !adapter->Dispatch()) automation::Raise(automation::code::kTypeMismatch, u"Type mismatch");
            features.push_back(WrapFeature(adapter->Dispatch()));
        }
        return features;
    }
};

class PluginEntryAdapter final : public outside::IPluginEntry, public LateBoundAdapter {
public:
    using LateBoundAdapter::LateBoundAdapter;
    BStr HelpFile() override { return ResultStr(d_.Get(u"HelpFile").Ref()); }
    std::shared_ptr<automation::Collection> Items() override {
        auto d = ResultDispatch(d_.Get(u"Items").Ref());
        return WrapCollection(d.Get());
    }
};

class PluginServerAdapter final : public outside::IPluginServer, public LateBoundAdapter {
public:
    explicit PluginServerAdapter(ComRef<IDispatch> d)
        : LateBoundAdapter(std::move(d)), events_(std::make_shared<outside::PluginServerEvents>()) {
        ConnectEvents();
    }

    automation::VBool LoadDevice(const Variant& device, std::shared_ptr<automation::Collection>& features, automation::VBool flag,
                                 automation::VBool isLnsPi) override {
        ComRef<IDispatch> passed = ComRef<IDispatch>::Adopt(ToDispatch(features));
        IDispatch* slot = passed.AddRefed();
        std::vector<Var> args;
        args.emplace_back();
        ToVariant(device, args.back().Ptr());
        args.push_back(Var::ByRef(VT_DISPATCH, &slot));
        args.push_back(Var::Bool(flag != 0));
        args.push_back(Var::Bool(isLnsPi != 0));
        ComRef<IDispatch> back;
        Var result;
        try {
            result = d_.Call(u"LoadDevice", std::move(args));
        } catch (...) {
            back = ComRef<IDispatch>::Adopt(slot);
            throw;
        }
        back = ComRef<IDispatch>::Adopt(slot);
        if (back.Get() != passed.Get()) features = WrapCollection(back.Get());
        return ResultBool(result.Ref());
    }

    void SetFeatureWindowAppearance(const BStr& caption, const automation::ObjectRef& icon) override {
        std::vector<Var> args;
        args.push_back(Var::Str(caption));
        Var pic;
        V_VT(pic.Ptr()) = VT_DISPATCH;
        V_DISPATCH(pic.Ptr()) = ToDispatch(icon);
        args.push_back(std::move(pic));
        d_.Call(u"SetFeatureWindowAppearance", std::move(args));
    }

    void LaunchFeature(std::int16_t featureId, std::int32_t ownerWindow) override {
        std::vector<Var> args;
        args.push_back(Var::I2(featureId));
        args.push_back(Var::I4(ownerWindow));
        d_.Call(u"LaunchFeature", std::move(args));
    }

    std::shared_ptr<outside::IFeatureList> FeatureList() override {
        return WrapFeatureList(ResultDispatch(d_.Get(u"FeatureList").Ref()).Get());
    }
    std::shared_ptr<outside::IPluginEntry> CurrentPlugin() override {
        return WrapPluginEntry(ResultDispatch(d_.Get(u"CurrentPlugin").Ref()).Get());
    }
    std::shared_ptr<outside::INetServDevice> CurrentDevice() override {
        return WrapNetServDevice(ResultDispatch(d_.Get(u"CurrentDevice").Ref()).Get());
    }
    std::shared_ptr<outside::IPluginEntry> PluginForProgramID(const BStr& programId) override {
        std::vector<Var> args;
        args.push_back(Var::Str(programId));
        return WrapPluginEntry(ResultDispatch(d_.Call(u"PluginForProgramID", std::move(args)).Ref()).Get());
    }
    void Reset() override { d_.Call(u"Reset"); }
    void Clear() override { d_.Call(u"Clear"); }

    outside::PluginServerEvents& Events() override { return *events_; }

private:
    enum class Kind { RequestDownload, RequestUpload, WorkspaceAvailable };

    // Notifications are told apart by name, so the server's dispatch ids are its own business.
    void ConnectEvents() {
        auto source = FindSourceInterface(d_.Get());
        if (!source || !source->typeInfo) return;
        std::map<DISPID, Kind> kinds;
        for (const auto& m : EventMembers(source->typeInfo.Get())) {
            BStr name = automation::UpperAscii(m.name);
            if (name == u"REQUESTDOWNLOAD") kinds[m.id] = Kind::RequestDownload;
            else if (name == u"REQUESTUPLOAD") kinds[m.id] = Kind::RequestUpload;
            else if (name == u"WORKSPACEAVAILABLE") kinds[m.id] = Kind::WorkspaceAvailable;
        }
        std::weak_ptr<outside::PluginServerEvents> weak = events_;
        connection_ = EventConnection::Connect(d_.Get(), source->iid, [weak, kinds](DISPID id, DISPPARAMS* params) {
            auto it = kinds.find(id);
            if (it == kinds.end()) return;
            auto events = weak.lock();
            if (!events) return;
            switch (it->second) {
                case Kind::RequestDownload: events->RequestDownload.Raise(); break;
                case Kind::RequestUpload: events->RequestUpload.Raise(); break;
                case Kind::WorkspaceAvailable: {
                    BStr progId = EventArgument(params, 0).AsStr();
                    events->WorkspaceAvailable.Raise(progId);
                    break;
                }
            }
        });
    }

    std::shared_ptr<outside::PluginServerEvents> events_;
    std::unique_ptr<EventConnection> connection_;  // goes first: unadvised before the rest
};

}  // namespace

std::shared_ptr<outside::IPluginServer> WrapPluginServer(IDispatch* disp) { return Wrap<PluginServerAdapter>(disp); }
std::shared_ptr<outside::IFeatureList> WrapFeatureList(IDispatch* disp) { return Wrap<FeatureListAdapter>(disp); }
std::shared_ptr<outside::IFeature> WrapFeature(IDispatch* disp) { return Wrap<FeatureAdapter>(disp); }
std::shared_ptr<outside::IPluginEntry> WrapPluginEntry(IDispatch* disp) { return Wrap<PluginEntryAdapter>(disp); }

}  // namespace win32::adapters
