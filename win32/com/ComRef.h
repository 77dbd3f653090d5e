#pragma once
// The support layer's pointer under its former name, for the hosts that include it from here.
#include "win32/comsupport/ComRef.h"

namespace win32::com {
using win32::ComRef;
}  // namespace win32::com
