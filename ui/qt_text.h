#pragma once
// The program's texts as Qt strings.
#include <QString>
#include <string_view>

namespace vantaro {

inline QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace vantaro
