#include "win32/com/ComErrors.h"

#include <string>

#include "win32/com/ComRef.h"
#include "win32/com/ServerModule.h"

namespace win32::com {

HRESULT ToHresult(std::int32_t code) {
    HRESULT hr = static_cast<HRESULT>(code);
    if (FAILED(hr)) return hr;
    if (code == 0) return E_FAIL;
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, code & 0xFFFF);
}

HRESULT ReportFailure(std::int32_t code, std::u16string_view description, REFIID iid) {
    HRESULT hr = ToHresult(code);
    try {
        ComRef<ICreateErrorInfo> create;
        if (FAILED(CreateErrorInfo(create.Put()))) return hr;
        std::wstring text(description.begin(), description.end());
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(kErrorSource));
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
        ComRef<IErrorInfo> info;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.Put())))) SetErrorInfo(0, info.Get());
    } catch (...) {
        // Without memory for the text the caller still gets the code.
    }
    return hr;
}

void FillExcepInfo(HRESULT hr, EXCEPINFO* info) {
    if (!info) return;
    *info = EXCEPINFO{};
    info->scode = hr;
    ComRef<IErrorInfo> err;
    if (GetErrorInfo(0, err.Put()) != S_OK || !err) return;
    err->GetSource(&info->bstrSource);
    err->GetDescription(&info->bstrDescription);
    err->GetHelpFile(&info->bstrHelpFile);
    err->GetHelpContext(&info->dwHelpContext);
}

}  // namespace win32::com
