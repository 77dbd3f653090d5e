#pragma once
// The class object of IHalvernServer. One for the process; its references and locks keep the DLL loaded.
#include <unknwn.h>

namespace win32::com {

class ClassFactory final : public IClassFactory {
public:
    static ClassFactory& Instance();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    ClassFactory() = default;
};

}  // namespace win32::com
