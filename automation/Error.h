#pragma once
// The one failure type of the system: an automation error with code and description.
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "automation/Types.h"

namespace automation {

// HRESULT-style codes, grouped by where they come from.
namespace code {
constexpr std::int32_t Hr(std::uint32_t v) { return static_cast<std::int32_t>(v); }
// The automation runtime's numbered errors (error 91 is 0x800A005B).
constexpr std::int32_t Runtime(std::uint16_t number) { return Hr(0x800A0000u | number); }

inline constexpr std::int32_t kFail = Hr(0x80004005), kNoInterface = Hr(0x80004002), kPointer = Hr(0x80004003);
inline constexpr std::int32_t kTypeMismatch = Hr(0x80020005), kClassNotRegistered = Hr(0x80040154);
inline constexpr std::int32_t kInvalidProcedureCall = Runtime(5), kOverflow = Runtime(6), kSubscriptOutOfRange = Runtime(9);
inline constexpr std::int32_t kObjectNotSet = Runtime(91), kResourceNotFound = Runtime(326);
inline constexpr std::int32_t kControlArrayElementExists = Runtime(360);
// The list and tree controls' collections.
inline constexpr std::int32_t kElementNotFound = Runtime(35593), kKeyNotUnique = Runtime(35594);
}  // namespace code

class Error : public std::exception {
public:
    Error(std::int32_t code, BStr description) : code_(code), description_(std::move(description)) {}

    std::int32_t Code() const noexcept { return code_; }
    const BStr& Description() const noexcept { return description_; }
    const char* what() const noexcept override;

    bool operator==(const Error& o) const { return code_ == o.code_ && description_ == o.description_; }

private:
    std::int32_t code_;
    BStr description_;
    mutable std::string utf8_;
};

[[noreturn]] void Raise(std::int32_t code, BStr description);
[[noreturn]] void RaiseObjectNotSet(std::u16string_view what);

namespace trace {
void Ignored(const Error& e) noexcept;  // marks the failure's trace record: dropped on purpose
}

// Runs one step of an operation that ignores failures step by step: a failing step is skipped.
// Returns whether the step completed.
template <class Step>
bool IgnoreFailure(Step&& step) {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const Error& e) {
        trace::Ignored(e);
        return false;
    }
}

}  // namespace automation
