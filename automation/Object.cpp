#include "automation/Object.h"

namespace automation {

std::shared_ptr<Object> Object::QueryInterface(std::u16string_view) { return nullptr; }

}  // namespace automation
