#include "automation/Variant.h"

#include <cmath>
#include <limits>

#include "automation/NumberText.h"

namespace automation {
namespace {
[[noreturn]] void Mismatch() { Raise(code::kTypeMismatch, u"Type mismatch"); }
[[noreturn]] void Overflow() { Raise(code::kOverflow, u"Overflow"); }

template <class T>
T RoundedInto(double d) {
    if (std::isnan(d)) Overflow();
    double r = std::nearbyint(d);  // ties to even in the default rounding mode
    if (r < static_cast<double>(std::numeric_limits<T>::min()) || r > static_cast<double>(std::numeric_limits<T>::max()))
        Overflow();
    return static_cast<T>(r);
}
}  // namespace

double Variant::Number() const {
    switch (Type()) {
        case VarType::Empty: return 0;
        case VarType::Bool: return std::get<BoolBox>(v_).b;
        case VarType::I2: return std::get<std::int16_t>(v_);
        case VarType::I4: return std::get<std::int32_t>(v_);
        case VarType::R4: return std::get<float>(v_);
        case VarType::R8: return std::get<double>(v_);
        case VarType::Str: {
            const auto& s = std::get<BStr>(v_);
            auto r = ReadNumber(s);
            if (!r.complete) Mismatch();
            if (!std::isfinite(r.value)) Overflow();  // beyond even a double's range
            return r.value;
        }
        default: Mismatch();
    }
}

VBool Variant::AsBool() const {
    if (Type() == VarType::Bool) return std::get<BoolBox>(v_).b;
    if (Type() == VarType::Str) {
        BStr u = UpperAscii(std::get<BStr>(v_));
        if (u == u"TRUE") return kTrue;
        if (u == u"FALSE") return kFalse;
    }
    return ToVBool(Number() != 0);
}
std::int16_t Variant::AsI2() const { return RoundedInto<std::int16_t>(Number()); }
std::int32_t Variant::AsI4() const { return RoundedInto<std::int32_t>(Number()); }
float Variant::AsR4() const {
    double d = Number();
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) Overflow();
    return static_cast<float>(d);
}
double Variant::AsR8() const { return Number(); }

BStr Variant::AsStr() const {
    switch (Type()) {
        case VarType::Empty: return {};
        case VarType::Str: return std::get<BStr>(v_);
        case VarType::Bool: return std::get<BoolBox>(v_).b ? u"True" : u"False";
        case VarType::I2: return DecimalText(std::get<std::int16_t>(v_));
        case VarType::I4: return DecimalText(std::get<std::int32_t>(v_));
        case VarType::R4: return SingleText(std::get<float>(v_));
        case VarType::R8: return SingleText(static_cast<float>(std::get<double>(v_)));
        default: Mismatch();
    }
}

ObjectRef Variant::AsObject() const {
    if (Type() == VarType::Empty) return nullptr;
    if (Type() != VarType::Object) Mismatch();
    return std::get<ObjectRef>(v_);
}

const ByteArray& Variant::AsBytes() const {
    if (Type() != VarType::Bytes) Mismatch();
    return std::get<ByteArray>(v_);
}

const Error& Variant::AsError() const {
    if (Type() != VarType::Error) Mismatch();
    return std::get<Error>(v_);
}

}  // namespace automation
