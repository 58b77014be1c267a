#include "engine/numbers.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace vantaro {

std::size_t formatNumber(char* buf, std::int64_t value) {
    char digits[20];
    std::size_t n = 0;
    // Work with the magnitude as unsigned so INT64_MIN is safe.
    std::uint64_t mag = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + mag % 10);
        mag /= 10;
    } while (mag != 0);
    std::size_t out = 0;
    buf[out++] = value < 0 ? '-' : ' ';
    while (n > 0)
        buf[out++] = digits[--n];
    return out;
}

std::string numberText(std::int64_t value) {
    char buf[24];
    return std::string(buf, formatNumber(buf, value));
}

std::string numberText(double value) {
    if (std::isnan(value)) return " NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : " Inf";
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return numberText(static_cast<std::int64_t>(value));

    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string s(buf);
    // Split off an exponent, trim trailing zeros of the mantissa.
    std::string exponent;
    if (auto e = s.find('E'); e != std::string::npos) {
        // "E+020" style from printf: keep the sign, drop leading zeros of the digits.
        const char sign = s[e + 1];
        const int power = std::atoi(s.c_str() + e + 2);
        s.erase(e);
        exponent.push_back('E');
        exponent.push_back(sign);
        exponent.append(std::to_string(power));
    }
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    bool negative = !s.empty() && s[0] == '-';
    if (negative) s.erase(0, 1);
    if (s.size() > 1 && s[0] == '0' && s[1] == '.') s.erase(0, 1);
    std::string out(1, negative ? '-' : ' ');
    out.append(s).append(exponent);
    return out;
}

namespace {

bool isSkippable(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Characters of the text with blanks removed, read one at a time.
struct Reader {
    std::string_view text;
    std::size_t pos = 0;
    int peek() {
        while (pos < text.size() && isSkippable(text[pos]))
            ++pos;
        return pos < text.size() ? static_cast<unsigned char>(text[pos]) : -1;
    }
    void next() { ++pos; }
};

double readRadix(Reader& r, int radix) {
    std::uint64_t acc = 0;
    bool any = false;
    for (;;) {
        int c = r.peek();
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0 || d >= radix) break;
        if (acc > (std::numeric_limits<std::uint64_t>::max() >> 4)) break; // keep what fits
        acc = acc * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(d);
        any = true;
        r.next();
    }
    if (!any) return 0;
    // Hexadecimal and octal literals are 16-bit when they fit, else 32-bit, two's complement.
    if (acc <= 0xFFFF) return static_cast<std::int16_t>(static_cast<std::uint16_t>(acc));
    if (acc <= 0xFFFFFFFFull) return static_cast<std::int32_t>(static_cast<std::uint32_t>(acc));
    return static_cast<double>(acc);
}

} // namespace

double readNumber(std::string_view text) {
    Reader r{text};
    int c = r.peek();
    if (c == '&') {
        r.next();
        int k = r.peek();
        if (k == 'h' || k == 'H') {
            r.next();
            return readRadix(r, 16);
        }
        if (k == 'o' || k == 'O') {
            r.next();
            return readRadix(r, 8);
        }
        return 0;
    }
    std::string clean; // sign, digits, point and exponent, blanks removed
    if (c == '+' || c == '-') {
        clean.push_back(static_cast<char>(c));
        r.next();
    }
    bool mantissaDigits = false;
    while ((c = r.peek()) >= '0' && c <= '9') {
        clean.push_back(static_cast<char>(c));
        mantissaDigits = true;
        r.next();
    }
    if (c == '.') {
        clean.push_back('.');
        r.next();
        while ((c = r.peek()) >= '0' && c <= '9') {
            clean.push_back(static_cast<char>(c));
            mantissaDigits = true;
            r.next();
        }
    }
    if (!mantissaDigits) return 0;
    c = r.peek();
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
        std::string exp = "e";
        r.next();
        c = r.peek();
        if (c == '+' || c == '-') {
            exp.push_back(static_cast<char>(c));
            r.next();
        }
        bool expDigits = false;
        while ((c = r.peek()) >= '0' && c <= '9') {
            exp.push_back(static_cast<char>(c));
            expDigits = true;
            r.next();
        }
        if (expDigits) clean += exp;
    }
    return std::strtod(clean.c_str(), nullptr);
}

double roundHalfEven(double value) {
    // The program never leaves the default to-nearest-even rounding mode, which nearbyint follows.
    return std::nearbyint(value);
}

template <typename T> static std::optional<T> toWidth(double value) {
    if (std::isnan(value)) return std::nullopt;
    const double r = roundHalfEven(value);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        return std::nullopt;
    return static_cast<T>(r);
}

std::optional<std::int16_t> toInt16(double value) {
    return toWidth<std::int16_t>(value);
}
std::optional<std::int32_t> toInt32(double value) {
    return toWidth<std::int32_t>(value);
}

} // namespace vantaro
