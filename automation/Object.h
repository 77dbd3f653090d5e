#pragma once
// Reference-counted objects. A shared reference keeps an object alive; the last release destroys it
// at once, so each owner's release order is the destruction order.
#include <memory>
#include <string_view>

#include "automation/Error.h"

namespace automation {

class Object {
public:
    virtual ~Object() = default;
    // A further interface of the same object, for objects that are reached late-bound and answer
    // interface questions at run time. Plain C++ objects answer through their base classes instead.
    virtual std::shared_ptr<Object> QueryInterface(std::u16string_view iid);

protected:
    Object() = default;
    Object(const Object&) = default;
    Object& operator=(const Object&) = default;
};

using ObjectRef = std::shared_ptr<Object>;

// Interfaces name their identifier as `static constexpr std::u16string_view kIid`.
template <class I>
std::shared_ptr<I> Query(const ObjectRef& o) {
    if (!o) return nullptr;
    if (auto p = std::dynamic_pointer_cast<I>(o)) return p;
    return std::dynamic_pointer_cast<I>(o->QueryInterface(I::kIid));
}

// Like Query, but an absent object or interface is an error for the caller.
template <class I>
std::shared_ptr<I> Require(const ObjectRef& o, std::u16string_view what) {
    if (!o) RaiseObjectNotSet(what);
    auto p = Query<I>(o);
    if (!p) Raise(code::kNoInterface, BStr(u"No such interface supported: ") + BStr(what));
    return p;
}

}  // namespace automation
