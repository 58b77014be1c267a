#pragma once
// The settings file: INI text read and written one key at a time, with the observable
// behaviour of the platform's profile functions.
#include <filesystem>
#include <string>
#include <string_view>

namespace vantaro {

// The value of key in section (both matched without regard to case), blanks around it and
// one pair of enclosing quotes removed, at most 254 characters; empty when missing.
std::string readSetting(const std::filesystem::path& path, std::string_view section, std::string_view key);

// Replaces the key's value in place (or appends the key / section, or creates the file),
// keeping every other line. Returns false when the file could not be written.
[[nodiscard]] bool writeSetting(const std::filesystem::path& path, std::string_view section,
                                std::string_view key, std::string_view value);

} // namespace vantaro
