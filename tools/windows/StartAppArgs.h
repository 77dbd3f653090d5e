#pragma once
// StartApp's arguments as an early-bound host passes them: the LNS objects by their own
// interfaces and the texts as strings the host owns, all by reference.
#include <windows.h>
#include <oleauto.h>

#include "LNSQuilletVexaProxy_h.h"

class StartAppArgs {
public:
    StartAppArgs(IDispatch* device, IDispatch* system, IDispatch* properties, const wchar_t* description, const wchar_t* address)
        : description_(SysAllocString(description)), address_(SysAllocString(address)) {
        device->QueryInterface(IID_AppDevice, reinterpret_cast<void**>(&device_));
        system->QueryInterface(IID_System, reinterpret_cast<void**>(&system_));
        properties->QueryInterface(IID_Collection, reinterpret_cast<void**>(&properties_));
    }
    ~StartAppArgs() {
        SysFreeString(description_);
        SysFreeString(address_);
        if (device_) device_->Release();
        if (system_) system_->Release();
        if (properties_) properties_->Release();
    }
    StartAppArgs(const StartAppArgs&) = delete;
    StartAppArgs& operator=(const StartAppArgs&) = delete;

    HRESULT Call(_IHalvernServer* server, VARIANT_BOOL* started) {
        return server->StartApp(&device_, &system_, &version_, &fileType2_, &description_, &address_, &properties_, &lnsPlugIn_,
                                started);
    }

private:
    AppDevice* device_ = nullptr;
    System* system_ = nullptr;
    Collection* properties_ = nullptr;
    BSTR description_, address_;
    float version_ = 3.2f;
    VARIANT_BOOL fileType2_ = VARIANT_TRUE, lnsPlugIn_ = VARIANT_TRUE;
};
