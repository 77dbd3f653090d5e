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

    static ComponentFactory& Instance();

private:
    std::map<BStr, Creator> creators_;
    std::function<ObjectRef(std::u16string_view)> fallback_;
};

// The process-wide factory the system creates outside components with.
inline ComponentFactory& Components() { return ComponentFactory::Instance(); }

template <class I>
std::shared_ptr<I> CreateAs(std::u16string_view id) {
    return Require<I>(Components().Create(id), id);
}

}  // namespace automation
