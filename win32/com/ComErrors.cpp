#include "win32/com/ComErrors.h"

#include "win32/com/ServerModule.h"

namespace win32::com {

HRESULT ReportFailure(std::int32_t code, std::u16string_view description, REFIID iid) {
    return ReportError(code, description, kErrorSource, iid);
}

}  // namespace win32::com
