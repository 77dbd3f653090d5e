// StrToBytStr over any UTF-16 text, and back through BinToStr.
#include <cstddef>
#include <cstdint>

#include "fuzz/Properties.h"
#include "fuzz/Target.h"
#include "headless/HeadlessPlatform.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    headless::HeadlessPlatform::Install();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzprops::Require(fuzzprops::BytStr(fuzzprops::Utf16(data, size)));
    return 0;
}
