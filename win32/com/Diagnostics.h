#pragma once
// A private interface of the IHalvernServer object for test hosts; not in the type library.
#include <unknwn.h>

namespace win32::com {

// {6B1E7A52-3C0D-4E8F-A9B4-57D2C81F0E63}
inline constexpr IID kIidQuilletDiagnostics = {0x6B1E7A52, 0x3C0D, 0x4E8F, {0xA9, 0xB4, 0x57, 0xD2, 0xC8, 0x1F, 0x0E, 0x63}};

struct IQuilletDiagnostics : public IUnknown {
    static constexpr const IID& kIid = kIidQuilletDiagnostics;
    // Graphics objects (fonts, brushes, icons, image lists) the window backend created and has
    // not yet deleted. Under Wine GetGuiResources always answers 0, so the backend counts them.
    virtual HRESULT STDMETHODCALLTYPE LiveGdiObjects(LONG* count) = 0;
};

}  // namespace win32::com
