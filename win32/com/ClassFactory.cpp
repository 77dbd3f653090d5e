#include "win32/com/ClassFactory.h"

#include "win32/com/HalvernServerObject.h"
#include "win32/com/ServerModule.h"

namespace win32::com {

ClassFactory& ClassFactory::Instance() {
    static ClassFactory factory;
    return factory;
}

HRESULT ClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() {
    ServerModule::ObjectCreated();
    return 2;
}

ULONG ClassFactory::Release() {
    ServerModule::ObjectDestroyed();
    return 1;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return HalvernServerObject::Create(riid, ppv);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock) ServerModule::Lock();
    else ServerModule::Unlock();
    return S_OK;
}

}  // namespace win32::com
