#include "storage/settings_keys.h"

#include "engine/numbers.h"
#include "storage/settings.h"

#include <string>

namespace vantaro {

std::filesystem::path settingsPathIn(const std::filesystem::path& folder) {
    return folder / "jmconfig.ini";
}

double readSettingNumber(const std::filesystem::path& path, const SettingKey& key) {
    return readNumber(readSetting(path, key.section, key.key));
}

std::optional<std::int16_t> readSettingInt16(const std::filesystem::path& path, const SettingKey& key) {
    return toInt16(readSettingNumber(path, key));
}

std::optional<std::int32_t> readSettingInt32(const std::filesystem::path& path, const SettingKey& key) {
    return toInt32(readSettingNumber(path, key));
}

std::optional<std::int32_t> readSettingInteger(const std::filesystem::path& path, const SettingKey& key) {
    if (key.width == SettingWidth::Int16) {
        const std::optional<std::int16_t> v = readSettingInt16(path, key);
        return v ? std::optional<std::int32_t>(*v) : std::nullopt;
    }
    return readSettingInt32(path, key);
}

std::string settingText(const SettingKey& key, std::int32_t value) {
    return key.form == SettingForm::Plain ? std::to_string(value) : numberText(value);
}

bool writeSettingValue(const std::filesystem::path& path, const SettingKey& key, std::int32_t value) {
    return writeSetting(path, key.section, key.key, settingText(key, value));
}

} // namespace vantaro
