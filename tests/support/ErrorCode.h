#pragma once
#include <cstdint>
#include <functional>

#include "automation/Error.h"

// The automation error code an action raises, 0 when it completes.
inline std::int32_t ErrorCode(const std::function<void()>& f) {
    try {
        f();
    } catch (const automation::Error& e) {
        return e.Code();
    }
    return 0;
}
