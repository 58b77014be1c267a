#pragma once
// The stored form of an action: 84 bytes, little-endian, no padding.
#include "engine/action_record.h"

#include <array>
#include <cstdint>
#include <span>

namespace vantaro {

inline constexpr std::size_t kRecordBytes = 84;

void encodeRecord(const ActionRecord& record, std::span<std::uint8_t, kRecordBytes> out);
ActionRecord decodeRecord(std::span<const std::uint8_t, kRecordBytes> in);

} // namespace vantaro
