#include "storage/record_codec.h"

#include <bit>
#include <cstring>

namespace vantaro {

namespace {

// Walks the 84 bytes field by field in stored order.
class Writer {
  public:
    explicit Writer(std::uint8_t* p) : p_(p) {}
    void i16(std::int16_t v) { le(static_cast<std::uint16_t>(v), 2); }
    void i32(std::int32_t v) { le(static_cast<std::uint32_t>(v), 4); }
    void f64(double v) { le(std::bit_cast<std::uint64_t>(v), 8); }

  private:
    void le(std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i)
            *p_++ = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::uint8_t* p_;
};

class Reader {
  public:
    explicit Reader(const std::uint8_t* p) : p_(p) {}
    std::int16_t i16() { return static_cast<std::int16_t>(static_cast<std::uint16_t>(le(2))); }
    std::int32_t i32() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(le(4))); }
    double f64() { return std::bit_cast<double>(le(8)); }

  private:
    std::uint64_t le(int n) {
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i)
            v |= static_cast<std::uint64_t>(*p_++) << (8 * i);
        return v;
    }
    const std::uint8_t* p_;
};

// One field list serves both directions, so the two can never disagree.
template <typename IO, typename R> void fields(IO& io, R& r) {
    io(r.axisMask);
    io(r.buttonMask);
    io(r.channel);
    io(r.dataNumber);
    io(r.increment);
    io(r.currentValue);
    io(r.lastButtonState);
    io(r.reservedA);
    io(r.povDirection);
    io(r.wrap);
    io(r.low);
    io(r.high);
    io(r.delay);
    io(r.reservedB);
    io(r.reservedC);
    io(r.toggle);
    io(r.reservedD);
    io(r.reservedE);
    io(r.recordVersion);
    for (auto& f : r.fingerSelect)
        io(f);
    io(r.isGlove);
    for (auto& h : r.handAxisSelect)
        io(h);
    io(r.messageKind);
}

} // namespace

void encodeRecord(const ActionRecord& record, std::span<std::uint8_t, kRecordBytes> out) {
    Writer w(out.data());
    auto put = [&w](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::int16_t>)
            w.i16(v);
        else if constexpr (std::is_same_v<T, std::int32_t>)
            w.i32(v);
        else
            w.f64(v);
    };
    fields(put, record);
}

ActionRecord decodeRecord(std::span<const std::uint8_t, kRecordBytes> in) {
    Reader rd(in.data());
    ActionRecord record;
    auto get = [&rd](auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::int16_t>)
            v = rd.i16();
        else if constexpr (std::is_same_v<T, std::int32_t>)
            v = rd.i32();
        else
            v = rd.f64();
    };
    fields(get, record);
    return record;
}

} // namespace vantaro
