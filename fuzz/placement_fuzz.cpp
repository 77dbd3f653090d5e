// ReadPlacement over any UTF-8 text: a placement or an automation error, nothing else.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/Properties.h"
#include "fuzz/Target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzprops::Require(
        fuzzprops::PlacementText(automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size))));
    return 0;
}
