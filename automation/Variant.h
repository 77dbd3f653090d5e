#pragma once
// An automation value: empty, boolean, 16/32-bit integer, float, double, string, object, bytes, error.
#include <cstdint>
#include <variant>
#include <vector>

#include "automation/Error.h"
#include "automation/Object.h"

namespace automation {

using ByteArray = std::vector<std::uint8_t>;

enum class VarType { Empty, Bool, I2, I4, R4, R8, Str, Object, Bytes, Error };

class Variant {
public:
    Variant() = default;
    static Variant FromBool(bool b) {
        Variant v;
        v.v_ = BoolBox{ToVBool(b)};
        return v;
    }
    Variant(std::int16_t i) : v_(i) {}
    Variant(std::int32_t i) : v_(i) {}
    Variant(float f) : v_(f) {}
    Variant(double d) : v_(d) {}
    Variant(BStr s) : v_(std::move(s)) {}
    Variant(const char16_t* s) : v_(BStr(s)) {}
    Variant(ObjectRef o) : v_(std::move(o)) {}
    Variant(ByteArray b) : v_(std::move(b)) {}
    Variant(Error e) : v_(std::move(e)) {}

    VarType Type() const noexcept { return static_cast<VarType>(v_.index()); }
    bool IsEmpty() const noexcept { return Type() == VarType::Empty; }

    // Coercing readers: a value that cannot become the asked type is a type-mismatch error,
    // one that does not fit is an overflow error.
    VBool AsBool() const;
    std::int16_t AsI2() const;
    std::int32_t AsI4() const;
    float AsR4() const;
    double AsR8() const;
    BStr AsStr() const;
    ObjectRef AsObject() const;        // empty gives none
    const ByteArray& AsBytes() const;  // only a byte array
    const Error& AsError() const;

private:
    struct BoolBox {
        VBool b;
        bool operator==(const BoolBox&) const = default;
    };
    double Number() const;
    std::variant<std::monostate, BoolBox, std::int16_t, std::int32_t, float, double, BStr, ObjectRef, ByteArray, Error> v_;
};

}  // namespace automation
