#pragma once
// A picture as automation components pass them (IPictureDisp): what the plug-in server is given
// as the icon of a feature's window.
#include <cstdint>

#include "automation/Object.h"

namespace outside {

class IPictureDisp : public automation::Object {
public:
    static constexpr std::u16string_view kIid = u"{7BF80981-BF32-101A-8BBB-00AA00300CAB}";
    static constexpr std::int16_t kTypeIcon = 3;  // what an icon picture answers as its type
    virtual std::int16_t Type() = 0;
};

}  // namespace outside
