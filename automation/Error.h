#pragma once
// The one failure type of the system: an automation error with code and description.
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "automation/Types.h"

namespace automation {

// HRESULT-style codes; 0x800A.... are the automation runtime's numbered errors.
namespace code {
inline constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005);
inline constexpr std::int32_t kNoInterface = static_cast<std::int32_t>(0x80004002);
inline constexpr std::int32_t kPointer = static_cast<std::int32_t>(0x80004003);
inline constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);
inline constexpr std::int32_t kClassNotRegistered = static_cast<std::int32_t>(0x80040154);
inline constexpr std::int32_t kOverflow = static_cast<std::int32_t>(0x800A0006);
inline constexpr std::int32_t kSubscriptOutOfRange = static_cast<std::int32_t>(0x800A0009);
inline constexpr std::int32_t kObjectNotSet = static_cast<std::int32_t>(0x800A005B);
inline constexpr std::int32_t kResourceNotFound = static_cast<std::int32_t>(0x800A0146);
inline constexpr std::int32_t kInvalidProcedureCall = static_cast<std::int32_t>(0x800A0005);
inline constexpr std::int32_t kElementNotFound = static_cast<std::int32_t>(0x800A8B09);
inline constexpr std::int32_t kKeyNotUnique = static_cast<std::int32_t>(0x800A8B0A);
inline constexpr std::int32_t kControlArrayElementExists = static_cast<std::int32_t>(0x800A0168);
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
