#include "automation/ComponentFactory.h"

#include "automation/Trace.h"

namespace automation {

void ComponentFactory::Register(std::u16string_view id, Creator creator) { creators_[UpperAscii(id)] = std::move(creator); }
void ComponentFactory::Unregister(std::u16string_view id) { creators_.erase(UpperAscii(id)); }
bool ComponentFactory::IsRegistered(std::u16string_view id) const { return creators_.count(UpperAscii(id)) != 0; }
void ComponentFactory::Clear() {
    creators_.clear();
    fallback_ = nullptr;
}
void ComponentFactory::SetFallback(std::function<ObjectRef(std::u16string_view)> fallback) { fallback_ = std::move(fallback); }

ObjectRef ComponentFactory::Create(std::u16string_view id) const {
    if (trace::On())
        return trace::Traced(trace::Kind::Call, "Components", "Create", trace::Show(id), [&] { return Decorate(id, Make(id)); });
    return Make(id);
}

ObjectRef ComponentFactory::Make(std::u16string_view id) const {
    auto it = creators_.find(UpperAscii(id));
    ObjectRef o;
    if (it != creators_.end()) o = it->second();
    else if (fallback_) o = fallback_(id);
    else Raise(code::kClassNotRegistered, u"Class not registered: " + BStr(id));
    if (!o) Raise(code::kClassNotRegistered, u"Class not registered: " + BStr(id));
    return o;
}

ComponentFactory& ComponentFactory::Instance() {
    static ComponentFactory factory;
    return factory;
}

}  // namespace automation
