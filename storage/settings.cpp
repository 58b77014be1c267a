#include "storage/settings.h"

#include "storage/file_io.h"
#include "storage/ini_text.h"

#include <system_error>

namespace vantaro {

namespace fs = std::filesystem;

std::string readSetting(const fs::path& path, std::string_view section, std::string_view key) {
    const std::optional<std::string> text = readWholeFile(path);
    return text ? iniRead(*text, section, key) : std::string();
}

bool writeSetting(const fs::path& path, std::string_view section, std::string_view key,
                  std::string_view value) {
    std::string text;
    if (std::optional<std::string> existing = readWholeFile(path)) {
        text = std::move(*existing);
    } else {
        // Start afresh only when there is no file; an unreadable one must not be overwritten. A
        // link whose file is gone counts as no file: the write creates the file it leads to.
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (status.type() != fs::file_type::not_found) return false;
    }
    const std::optional<std::string> updated = iniWrite(text, section, key, value);
    return updated && replaceFileContents(path, *updated);
}

} // namespace vantaro
