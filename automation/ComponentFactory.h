#pragma once
// Creates outside components by class id or ProgID. The backend in use registers what exists:
// the simulated components on Linux, late-bound adapters over COM on Windows.
#include <functional>
#include <map>

#include "automation/Object.h"

namespace automation {

class ComponentFactory {
public:
    using Creator = std::function<ObjectRef()>;

    // Class ids are written "{XXXXXXXX-...}"; both ids and ProgIDs match without regard to case.
    void Register(std::u16string_view classIdOrProgId, Creator creator);
    void Unregister(std::u16string_view classIdOrProgId);
    bool IsRegistered(std::u16string_view classIdOrProgId) const;
    void Clear();

    // An unknown id is a "Class not registered" error; a creator may raise its own error.
    ObjectRef Create(std::u16string_view classIdOrProgId) const;

    // Lets a backend answer ids it has not registered (for example from the system registry).
    void SetFallback(std::function<ObjectRef(std::u16string_view)> fallback);

    // What a created component is handed out as (the trace's wrappers); none hands it out as made.
    // A backend that makes components itself (hosted controls) passes them through Decorate too.
    using Decorator = std::function<ObjectRef(std::u16string_view classIdOrProgId, ObjectRef made)>;
    void SetDecorator(Decorator decorator) { decorator_ = std::move(decorator); }
    ObjectRef Decorate(std::u16string_view classIdOrProgId, ObjectRef made) const {
        return decorator_ && made ? decorator_(classIdOrProgId, std::move(made)) : made;
    }

    static ComponentFactory& Instance();

private:
    ObjectRef Make(std::u16string_view classIdOrProgId) const;
    std::map<BStr, Creator> creators_;
    std::function<ObjectRef(std::u16string_view)> fallback_;
    Decorator decorator_;
};

// The process-wide factory the system creates outside components with.
inline ComponentFactory& Components() { return ComponentFactory::Instance(); }

template <class I>
std::shared_ptr<I> CreateAs(std::u16string_view id) {
    return Require<I>(Components().Create(id), id);
}

}  // namespace automation
