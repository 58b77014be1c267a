// Feeds arbitrary bytes to the action file reader. Beyond not crashing: a file that reads writes
// back as the same bytes (up to the zero-filled end of a short last record).
#include "storage/action_file.h"
#include "storage/record_codec.h"

#include <cstdlib>
#include <memory>
#include <string>

using namespace vantaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto list = std::make_unique<ActionList>();
    if (!decodeActions(bytes, *list)) return 0;

    const std::string again = encodeActions(*list);
    if (again.size() != recordCountForLength(size) * kRecordBytes) std::abort();
    const std::size_t common = std::min(again.size(), bytes.size());
    if (again.compare(0, common, bytes.substr(0, common)) != 0) std::abort();
    for (std::size_t i = common; i < again.size(); ++i)
        if (again[i] != '\0') std::abort();
    return 0;
}
