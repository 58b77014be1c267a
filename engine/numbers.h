#pragma once
// Number handling shared by every subsystem: the text form the program writes,
// the lenient reading of numbers from text, and rounding into fixed widths.
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace vantaro {

// Leading-blank form: " 7000", "-1600", " 0". Fractions drop the zero before the
// point (" .5", "-.25"); at most 15 significant digits, like the rest of the program.
std::string numberText(double value);
std::string numberText(std::int64_t value);
inline std::string numberText(std::int32_t value) {
    return numberText(static_cast<std::int64_t>(value));
}
inline std::string numberText(std::int16_t value) {
    return numberText(static_cast<std::int64_t>(value));
}

// Writes the leading-blank form of an integer into buf without allocating;
// returns the number of characters written (buf needs room for 21).
std::size_t formatNumber(char* buf, std::int64_t value);

// The number the text begins with: sign, digits, point, exponent (E or D), or an
// &H / &O integer. Blanks, tabs and line ends are skipped wherever they stand.
// Text that does not begin with a number reads as 0.
double readNumber(std::string_view text);

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4). The program never leaves the
// default to-nearest-even rounding mode, which nearbyint follows.
inline double roundHalfEven(double value) {
    return std::nearbyint(value);
}

namespace detail {
template <typename T> std::optional<T> roundInto(double value) {
    const double r = roundHalfEven(value);
    // Written so that NaN fails too.
    if (!(r >= static_cast<double>(std::numeric_limits<T>::min()) &&
          r <= static_cast<double>(std::numeric_limits<T>::max())))
        return std::nullopt;
    return static_cast<T>(r);
}
} // namespace detail

// Round half to even into a width; nullopt when the result does not fit (or NaN).
inline std::optional<std::int16_t> toInt16(double value) {
    return detail::roundInto<std::int16_t>(value);
}
inline std::optional<std::int32_t> toInt32(double value) {
    return detail::roundInto<std::int32_t>(value);
}

// Error number of an overflowing conversion, as the start-up trap reports it.
inline constexpr int kOverflowError = 6;

} // namespace vantaro
