// FormatNeuronID over any UTF-16 text: dash-separated pairs, never a failure.
#include <cstddef>
#include <cstdint>

#include "fuzz/Properties.h"
#include "fuzz/Target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzprops::Require(fuzzprops::NeuronId(fuzzprops::Utf16(data, size)));
    return 0;
}
