#pragma once
// The LNS object server's AppDevice and System, as the host hands them over.
#include <cstdint>

#include "automation/Object.h"

namespace outside {

using automation::BStr;

class ILnsAppDevice : public automation::Object {
public:
    static constexpr std::u16string_view kIid = u"{858097EA-2365-11CF-9AE0-0020AFD34749}";
    virtual BStr Name() = 0;
    // Fails when the device does not answer.
    virtual std::int16_t State() = 0;
};

class ILnsSystem : public automation::Object {
public:
    static constexpr std::u16string_view kIid = u"{2B6A7522-186E-11CF-9AE0-0020AFD34749}";
};

}  // namespace outside
