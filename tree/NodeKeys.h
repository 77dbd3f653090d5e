#pragma once
// Keys of the Active Group tree's nodes and of the list items that mirror them, and the image
// list's icon keys.
#include <string_view>

#include "automation/Types.h"

namespace nodekeys {

inline constexpr std::u16string_view kRoot = u"agRt";
inline constexpr std::u16string_view kAllDevices = u"AlD_";
inline constexpr std::u16string_view kTypePrefix = u"Typ_";
inline constexpr std::u16string_view kDevicePrefix = u"Dev_";
inline constexpr std::u16string_view kAllPrefix = u"All_";
inline constexpr std::u16string_view kRootId = u"Root";  // SelectNodeInTree's name for the root

inline constexpr std::u16string_view kIconKeys[] = {u"groupnormal", u"groupopen",      u"typenormal", u"typeselect",
                                                    u"devonline",   u"devsoftoffline", u"devofflink", u"devquestion"};

inline automation::BStr DeviceKey(std::u16string_view deviceId) {
    return automation::BStr(kDevicePrefix) + automation::BStr(deviceId);
}

// The first four characters, compared exactly.
inline bool HasPrefix(std::u16string_view key, std::u16string_view prefix) {
    return key.size() >= 4 && key.substr(0, 4) == prefix;
}

// The DeviceID of a device key: the key from its fifth character on.
inline automation::BStr DeviceIdOf(std::u16string_view key) {
    return automation::BStr(key.size() > 4 ? key.substr(4) : std::u16string_view{});
}

}  // namespace nodekeys
