#pragma once
// The settings file as the core uses it. Every read and write of the program goes through here,
// and a write that fails is said once until a write succeeds again (the core says it).
#include "storage/settings_keys.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vantaro {

class SettingsStore {
public:
    enum class Mode {
        None,      // no settings: every read gives nothing and every write is dropped
        ReadWrite, // the program's own file
        ReadOnly,  // a user's file read but never written: writes are kept in memory only
    };

    SettingsStore() = default;
    // A ReadOnly store reads its file once, here; a missing file reads as an empty one.
    SettingsStore(std::filesystem::path path, Mode mode);

    Mode mode() const { return mode_; }
    // The file; empty without one.
    const std::filesystem::path& path() const { return path_; }

    // The value's text (empty when missing), a write kept in memory first.
    std::string read(std::string_view section, std::string_view key) const;
    // The value as a number (0 for a missing file, key or non-number), and rounded (halves to
    // even) into 16 or 32 bits; nullopt when it does not fit.
    double number(const SettingKey& key) const;
    std::optional<std::int16_t> int16(const SettingKey& key) const;
    std::optional<std::int32_t> int32(const SettingKey& key) const;

    // False when the file could not be written. Without a file every write is dropped as done.
    [[nodiscard]] bool write(std::string_view section, std::string_view key, std::string_view value);
    [[nodiscard]] bool write(const SettingKey& key, std::int32_t value);

private:
    std::filesystem::path path_;
    Mode mode_ = Mode::None;
    std::string text_; // ReadOnly: the file's text as the writes have changed it in memory
};

} // namespace vantaro
