#include "core/settings_store.h"

#include "engine/numbers.h"
#include "storage/file_io.h"
#include "storage/ini_text.h"
#include "storage/settings.h"

namespace vantaro {

SettingsStore::SettingsStore(std::filesystem::path path, Mode mode) : path_(std::move(path)), mode_(mode) {
    if (mode_ == Mode::ReadOnly) text_ = readWholeFile(path_).value_or(std::string());
}

std::string SettingsStore::read(std::string_view section, std::string_view key) const {
    switch (mode_) {
    case Mode::None:
        return {};
    case Mode::ReadOnly:
        return iniRead(text_, section, key);
    case Mode::ReadWrite:
        break;
    }
    return readSetting(path_, section, key);
}

double SettingsStore::number(const SettingKey& key) const {
    return readNumber(read(key.section, key.key));
}

std::optional<std::int16_t> SettingsStore::int16(const SettingKey& key) const {
    return toInt16(number(key));
}

std::optional<std::int32_t> SettingsStore::int32(const SettingKey& key) const {
    return toInt32(number(key));
}

bool SettingsStore::write(std::string_view section, std::string_view key, std::string_view value) {
    switch (mode_) {
    case Mode::None:
        return true;
    case Mode::ReadOnly:
        // Changed as the file would be, so that it reads back the same.
        if (std::optional<std::string> changed = iniWrite(text_, section, key, value)) {
            text_ = std::move(*changed);
            return true;
        }
        return false;
    case Mode::ReadWrite:
        break;
    }
    return writeSetting(path_, section, key, value);
}

bool SettingsStore::write(const SettingKey& key, std::int32_t value) {
    return write(key.section, key.key, settingText(key, value));
}

} // namespace vantaro
