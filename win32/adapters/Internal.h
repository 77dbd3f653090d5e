#pragma once
// Pieces the adapters share; not for the system.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "automation/Collection.h"
#include "outside/NetServDevice.h"
#include "outside/PluginServer.h"
#include "win32/adapters/LateBound.h"
#include "win32/comsupport/ComBase.h"

namespace win32::adapters {

// The COM objects we hand out to outside components (wrappers, enumerators, event sinks), each
// counted by a Counted member while it lives: LiveComObjects.
LiveCount& HandedOut();

// An adapter's object that wraps an outside one; none for a null pointer.
template <class T>
std::shared_ptr<T> Wrap(IDispatch* disp) {
    return disp ? std::make_shared<T>(ComRef<IDispatch>(disp)) : nullptr;
}

// Every adapter knows the COM object it stands for.
class ComAdapter {
public:
    virtual ~ComAdapter() = default;
    virtual IDispatch* Dispatch() const = 0;  // not AddRef'ed
};

// An adapter over one outside object, reached late-bound.
class LateBoundAdapter : public ComAdapter {
public:
    explicit LateBoundAdapter(ComRef<IDispatch> d) : d_(std::move(d)) {}
    IDispatch* Dispatch() const override { return d_.Get(); }

protected:
    mutable LateBound d_;
};

// The one shape of interface questions: the object gives the interface through QueryInterface,
// or (where `member` is given) it names that member through IDispatch.
ComRef<IDispatch> InterfaceOf(IDispatch* disp, REFIID iid, std::u16string_view member = {});

// An object coming in from outside: our own wrapper gives back the system object it wraps,
// anything else becomes an adapter that answers Query by the rule of InterfaceOf.
automation::ObjectRef WrapDispatch(IDispatch* disp);

std::shared_ptr<outside::INetServDevice> WrapNetServDevice(IDispatch* disp);
std::shared_ptr<outside::IPluginServer> WrapPluginServer(IDispatch* disp);
std::shared_ptr<outside::IFeatureList> WrapFeatureList(IDispatch* disp);
std::shared_ptr<outside::IFeature> WrapFeature(IDispatch* disp);
std::shared_ptr<outside::IPluginEntry> WrapPluginEntry(IDispatch* disp);

// Our automation wrapper around a plain system object (collections get Count/Item/Add/Remove and
// enumeration); a new reference.
IDispatch* NewSystemObjectDispatch(const automation::ObjectRef& obj);
// The system object inside one of our wrappers, or none.
automation::ObjectRef UnwrapSystemObject(IUnknown* unk);

// Walks an enumerator object (as _NewEnum gives) into values; a bounded walk.
std::vector<automation::Variant> Enumerate(const VARIANT& enumerator);

// A class's default source interface: through IProvideClassInfo(2), else the first connection
// point of the container (its type info then looked up in the object's type library).
struct SourceInterface {
    IID iid{};
    ComRef<ITypeInfo> typeInfo;  // may be absent
};
std::optional<SourceInterface> FindSourceInterface(IUnknown* object);

// Event members of a source interface in declaration order, the IUnknown/IDispatch members left out.
struct EventMember {
    DISPID id;
    automation::BStr name;
};
std::vector<EventMember> EventMembers(ITypeInfo* source);

// A connection to an object's source interface. The handler runs for every notification;
// a handler's automation::Error goes back to the caller as an exception. Unadvised when it goes.
class EventConnection {
public:
    using Handler = std::function<void(DISPID id, DISPPARAMS* params)>;
    static std::unique_ptr<EventConnection> Connect(IUnknown* object, const IID& source, Handler handler);
    ~EventConnection();
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;

private:
    class Sink;
    EventConnection() = default;
    ComRef<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    ComRef<Sink> sink_;
};

// Argument `index` (left to right) of a notification as an automation value; missing is Empty.
automation::Variant EventArgument(const DISPPARAMS* params, unsigned index);

}  // namespace win32::adapters
