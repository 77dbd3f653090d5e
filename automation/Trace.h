#pragma once
// The opt-in trace of every call into an outside component, every notification from one and the
// host's calls: one line a record, written to a sink when the call ends. While it is off nothing is
// wrapped, so a call costs nothing; only creating a component and a host call test one flag.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include <vector>

#include "automation/Error.h"
#include "automation/Object.h"
#include "automation/Variant.h"

namespace automation::trace {

using Sink = std::function<void(const std::string& line)>;  // UTF-8, without line end
using Clock = std::function<std::int64_t()>;                // microseconds, for durations

namespace detail {
extern bool g_on;
}

// A clock of none measures real time.
void Enable(Sink sink, Clock clock = {});
void Disable();
inline bool On() noexcept { return detail::g_on; }

// Arguments and results in short form.
std::string Show(std::u16string_view s);  // quoted, long texts cut
std::string Show(const char16_t* s);
inline std::string Show(const BStr& s) { return Show(std::u16string_view(s)); }
std::string Show(std::int16_t v);  // also booleans: -1 reads True, 0 False
std::string Show(std::int32_t v);
std::string Show(float v);
std::string Show(const ObjectRef& o);  // "object" or "Nothing"
std::string Show(const Variant& v);
template <class T>
std::string Show(const std::shared_ptr<T>& o) {
    return Show(std::static_pointer_cast<Object>(o));
}
template <class T>
std::string Show(const std::vector<T>& items) {
    return std::to_string(items.size()) + " items";
}
template <class T, class... Rest>
std::string List(const T& first, const Rest&... rest) {
    std::string s = Show(first);
    ((s += ", ", s += Show(rest)), ...);
    return s;
}
inline std::string List() { return {}; }

enum class Kind { Call, Notification, Host };

// One call from its start to its end; what it returns or the failure that left it.
class Record {
public:
    Record(Kind kind, std::string_view component, std::string_view member, std::string_view args);
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    ~Record();
    void Returned(std::string result) { result_ = std::move(result); }
    void Failed(const Error& e) noexcept;

private:
    std::string head_;
    std::string result_;
    std::int64_t start_;
};

// Runs `call` inside a record of `component.member(args)`, its value shown as the result.
template <class F>
auto Traced(Kind kind, std::string_view component, std::string_view member, std::string_view args, F&& call) {
    Record r(kind, component, member, args);
    try {
        if constexpr (std::is_void_v<decltype(call())>) {
            call();
        } else {
            auto value = call();
            r.Returned(Show(value));
            return value;
        }
    } catch (const Error& e) {
        r.Failed(e);
        throw;
    }
}

// The caller drops this failure on purpose; its record says so.
void Ignored(const Error& e) noexcept;

}  // namespace automation::trace
