// Describes records made of arbitrary bytes, as a damaged or hand-made action file holds them:
// every one has a line, whatever its numbers.
#include "engine/texts.h"
#include "storage/record_codec.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

using namespace vantaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, kRecordBytes> raw{};
    std::copy_n(data, std::min(size, raw.size()), raw.begin());
    const std::string line = describeAction(decodeRecord(raw));
    if (line.find("Controller: ") == std::string::npos) std::abort();
    return 0;
}
