#pragma once
// A small check harness for the programs that run under Wine (no MinGW GoogleTest exists).
//   TEST_CASE(Name) { CHECK(cond); CHECK_EQ(a, b); CHECK_HR(call, expected); }
//   int main() { return qvtest::RunAll("suite"); }
// Prints "[ OK ] Name" or "[FAIL] Name" with each failed check, then "suite: N passed, M failed".
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace qvtest {

struct Case {
    const char* name;
    std::function<void()> body;
};

inline std::vector<Case>& Cases() {
    static std::vector<Case> cases;
    return cases;
}

struct Registrar {
    Registrar(const char* name, std::function<void()> body) { Cases().push_back({name, std::move(body)}); }
};

inline int& Failures() {
    static int n = 0;
    return n;
}

// Thrown by SKIP(): the case does not count.
struct Skipped {
    std::string why;
};

inline std::string Show(const std::wstring& s) {
    std::string out = "\"";
    for (wchar_t c : s) out += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    return out + "\"";
}
inline std::string Show(const wchar_t* s) { return s ? Show(std::wstring(s)) : "null"; }
inline std::string Show(const std::string& s) { return "\"" + s + "\""; }
inline std::string Show(const char* s) { return s ? Show(std::string(s)) : "null"; }
template <class T>
std::string Show(const T& v) {
    if constexpr (std::is_enum_v<T>) {
        return std::to_string(static_cast<long long>(v));
    } else if constexpr (std::is_pointer_v<T>) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%p", static_cast<const void*>(v));
        return buf;
    } else if constexpr (std::is_same_v<T, HRESULT>) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(v));
        return buf;
    } else if constexpr (std::is_arithmetic_v<T>) {
        return std::to_string(v);
    } else {
        return "?";
    }
}

// Integers of different kinds compare by value.
template <class A, class B>
bool Equal(const A& a, const B& b) {
    if constexpr (std::is_integral_v<A> && std::is_integral_v<B> && !std::is_same_v<A, bool> && !std::is_same_v<B, bool>)
        return std::cmp_equal(a, b);
    else if constexpr (std::is_enum_v<A> && std::is_integral_v<B>) return std::cmp_equal(static_cast<long long>(a), b);
    else return a == b;
}

inline void Fail(const std::string& what, int line) {
    ++Failures();
    std::printf("    check failed (line %d): %s\n", line, what.c_str());
    std::fflush(stdout);
}

inline std::string Hr(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

// `only`, when given, picks the cases whose names contain it.
inline int RunAll(const char* suite, const char* only = nullptr) {
    int passed = 0, failed = 0, skipped = 0;
    for (auto& c : Cases()) {
        if (only && !std::strstr(c.name, only)) continue;
        const int before = Failures();
        try {
            c.body();
        } catch (const Skipped& s) {
            ++skipped;
            std::printf("[SKIP] %s: %s\n", c.name, s.why.c_str());
            continue;
        } catch (const std::exception& e) {
            Fail(std::string("unexpected exception: ") + e.what(), 0);
        } catch (...) {
            Fail("unexpected exception", 0);
        }
        const bool ok = Failures() == before;
        (ok ? passed : failed)++;
        std::printf("%s %s\n", ok ? "[ OK ]" : "[FAIL]", c.name);
        std::fflush(stdout);
    }
    if (skipped) std::printf("%s: %d passed, %d failed, %d skipped\n", suite, passed, failed, skipped);
    else std::printf("%s: %d passed, %d failed\n", suite, passed, failed);
    return failed == 0 ? 0 : 1;
}

}  // namespace qvtest

#define QV_CAT2(a, b) a##b
#define QV_CAT(a, b) QV_CAT2(a, b)
#define TEST_CASE(name)                                                    \
    static void name();                                                    \
    static const qvtest::Registrar QV_CAT(registrar_, name)(#name, &name); \
    static void name()
#define CHECK(cond)                                 \
    do {                                            \
        if (!(cond)) qvtest::Fail(#cond, __LINE__); \
    } while (0)
#define CHECK_EQ(a, b)                                                                                                 \
    do {                                                                                                               \
        const auto& qv_a = (a);                                                                                        \
        const auto& qv_b = (b);                                                                                        \
        if (!qvtest::Equal(qv_a, qv_b))                                                                                \
            qvtest::Fail(std::string(#a " == " #b ": ") + qvtest::Show(qv_a) + " vs " + qvtest::Show(qv_b), __LINE__); \
    } while (0)
#define CHECK_HR(call, expected)                                                                                        \
    do {                                                                                                                \
        const HRESULT qv_hr = (call);                                                                                   \
        if (qv_hr != static_cast<HRESULT>(expected))                                                                    \
            qvtest::Fail(std::string(#call ": ") + qvtest::Hr(qv_hr) + ", expected " + qvtest::Hr(expected), __LINE__); \
    } while (0)
#define SKIP(why) \
    throw qvtest::Skipped { why }
