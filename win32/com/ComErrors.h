#pragma once
// Failures at the COM boundary: automation errors become HRESULTs with rich error information,
// and no C++ exception ever leaves a call from outside.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <new>
#include <string_view>

#include "automation/Error.h"
#include "win32/comsupport/Automation.h"

namespace win32::com {

// Sets the thread's error information (this server as the source, the interface) and returns the HRESULT.
HRESULT ReportFailure(std::int32_t code, std::u16string_view description, REFIID iid);

// Runs a call that came from outside; an exception becomes the call's failure.
template <class Call>
HRESULT GuardCall(REFIID iid, Call&& call) noexcept {
    try {
        SetErrorInfo(0, nullptr);
        return call();
    } catch (const automation::Error& e) {
        return ReportFailure(e.Code(), e.Description(), iid);
    } catch (const std::bad_alloc&) {
        return ReportFailure(E_OUTOFMEMORY, u"Out of memory", iid);
    } catch (...) {
        return ReportFailure(E_UNEXPECTED, u"Unexpected failure", iid);
    }
}

}  // namespace win32::com
