#include "automation/Error.h"

namespace automation {

const char* Error::what() const noexcept {
    if (utf8_.empty()) utf8_ = ToUtf8(description_);
    return utf8_.c_str();
}

void Raise(std::int32_t c, BStr description) { throw Error(c, std::move(description)); }

void RaiseObjectNotSet(std::u16string_view what) { throw Error(code::kObjectNotSet, u"Object variable not set: " + BStr(what)); }

}  // namespace automation
