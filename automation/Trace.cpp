#include "automation/Trace.h"

#include <cstdio>

namespace automation::trace {

namespace detail {
bool g_on = false;
}

namespace {

struct State {
    Sink sink;
    Clock clock;
    long long sequence = 0;
    int depth = 0;
    // A failed call's line waits for the caller to say whether it drops the failure.
    std::string pendingLine;
    const Error* pendingError = nullptr;
    std::int32_t pendingCode = 0;
};

State& S() {
    static State state;
    return state;
}

std::int64_t Now() {
    auto& s = S();
    if (s.clock) return s.clock();
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Write(const std::string& line) {
    auto& s = S();
    if (s.sink) s.sink(line);
}

void FlushPending() {
    auto& s = S();
    if (!s.pendingError) return;
    s.pendingError = nullptr;
    Write(s.pendingLine);
}

std::string Duration(std::int64_t micros) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld.%03lld ms", static_cast<long long>(micros / 1000),
                  static_cast<long long>(micros % 1000));
    return buf;
}

const char* KindText(Kind k) {
    switch (k) {
        case Kind::Notification: return "event ";
        case Kind::Host: return "host  ";
        case Kind::Call: break;
    }
    return "call  ";
}

}  // namespace

void Enable(Sink sink, Clock clock) {
    auto& s = S();
    FlushPending();
    s.sink = std::move(sink);
    s.clock = std::move(clock);
    s.sequence = 0;
    s.depth = 0;
    detail::g_on = static_cast<bool>(s.sink);
}

void Disable() {
    FlushPending();
    detail::g_on = false;
    S().sink = nullptr;
    S().clock = nullptr;
}

std::string Show(std::u16string_view s) {
    constexpr std::size_t kLongest = 48;
    std::string text = ToUtf8(s.substr(0, kLongest));
    return "\"" + text + (s.size() > kLongest ? "...\"" : "\"");
}
std::string Show(const char16_t* s) { return s ? Show(std::u16string_view(s)) : "\"\""; }
std::string Show(std::int16_t v) { return v == kTrue ? "True" : v == kFalse ? "False" : std::to_string(v); }
std::string Show(std::int32_t v) { return std::to_string(v); }
std::string Show(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return buf;
}
std::string Show(const ObjectRef& o) { return o ? "object" : "Nothing"; }
std::string Show(const Variant& v) {
    switch (v.Type()) {
        case VarType::Empty: return "Empty";
        case VarType::Object: return Show(v.AsObject());
        case VarType::Str: return Show(v.AsStr());
        case VarType::Bool: return Show(v.AsBool());
        case VarType::Error: return "error";
        default: break;
    }
    try {
        return Show(static_cast<float>(v.AsR8()));
    } catch (const Error&) {
        return "value";
    }
}

Record::Record(Kind kind, std::string_view component, std::string_view member, std::string_view args) {
    auto& s = S();
    FlushPending();
    head_ = "#" + std::to_string(++s.sequence) + " " + KindText(kind) + std::string(static_cast<std::size_t>(s.depth) * 2, ' ');
    head_.append(component).append(".").append(member).append("(").append(args).append(")");
    ++s.depth;
    start_ = Now();
}

Record::~Record() {
    auto& s = S();
    --s.depth;
    if (head_.empty()) return;
    try {
        FlushPending();
        Write(head_ + (result_.empty() ? "" : " = " + result_) + " ok, " + Duration(Now() - start_));
    } catch (...) {
    }
}

void Record::Failed(const Error& e) noexcept {
    try {
        auto& s = S();
        FlushPending();
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(e.Code()));
        s.pendingLine = head_ + " failed " + code + " " + ToUtf8(e.Description()) + ", " + Duration(Now() - start_);
        s.pendingError = &e;
        s.pendingCode = e.Code();
    } catch (...) {
        S().pendingError = nullptr;  // the line is lost, the call's failure is not
    }
    head_.clear();
}

void Ignored(const Error& e) noexcept {
    auto& s = S();
    if (!detail::g_on || s.pendingError != &e || s.pendingCode != e.Code()) return;
    s.pendingError = nullptr;
    try {
        Write(s.pendingLine + ", ignored");
    } catch (...) {
    }
}

}  // namespace automation::trace
