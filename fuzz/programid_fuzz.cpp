// FormatProgramID over any UTF-16 text: groups of 6, 4, 4 and 2 with the three dashes always there.
#include <cstddef>
#include <cstdint>

#include "fuzz/Properties.h"
#include "fuzz/Target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzprops::Require(fuzzprops::ProgramId(fuzzprops::Utf16(data, size)));
    return 0;
}
