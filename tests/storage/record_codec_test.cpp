#include "storage/record_codec.h"
#include "support/records.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace vantaro;

namespace {

ActionRecord everyFieldSet() {
    ActionRecord r;
    r.axisMask = 0x0102;
    r.buttonMask = static_cast<std::int32_t>(0x80000003u);
    r.channel = 15;
    r.dataNumber = 127;
    r.increment = 0.01;
    r.currentValue = -63.5;
    r.lastButtonState = 0x01020304;
    r.reservedA = -2;
    r.povDirection = 31500;
    r.wrap = 1;
    r.low = 5;
    r.high = 120;
    r.delay = 10000;
    r.reservedB = 0x0A0B;
    r.reservedC = -123456;
    r.toggle = 2;
    r.reservedD = 7;
    r.reservedE = -7;
    r.recordVersion = 3;
    r.fingerSelect = {1, 0, 1, 0, 1};
    r.isGlove = 1;
    r.handAxisSelect = {-1, 0, 1, -1, 0, 1};
    r.messageKind = 2;
    return r;
}

template <typename T> T at(const std::array<std::uint8_t, kRecordBytes>& b, std::size_t offset) {
    T v;
    std::memcpy(&v, b.data() + offset, sizeof v); // the build machines are little-endian
    return v;
}

} // namespace

TEST(RecordCodec, FieldsSitAtTheirOffsetsWithoutPadding) {
    std::array<std::uint8_t, kRecordBytes> b{};
    encodeRecord(everyFieldSet(), b);
    EXPECT_EQ(at<std::int16_t>(b, 0), 0x0102);
    EXPECT_EQ(at<std::uint32_t>(b, 2), 0x80000003u);
    EXPECT_EQ(at<std::int16_t>(b, 6), 15);
    EXPECT_EQ(at<std::int16_t>(b, 8), 127);
    EXPECT_EQ(at<double>(b, 10), 0.01);
    EXPECT_EQ(at<double>(b, 18), -63.5);
    EXPECT_EQ(at<std::int32_t>(b, 26), 0x01020304);
    EXPECT_EQ(at<std::int16_t>(b, 30), -2);
    EXPECT_EQ(at<std::int32_t>(b, 32), 31500);
    EXPECT_EQ(at<std::int16_t>(b, 36), 1);
    EXPECT_EQ(at<std::int16_t>(b, 38), 5);
    EXPECT_EQ(at<std::int16_t>(b, 40), 120);
    EXPECT_EQ(at<std::int16_t>(b, 42), 10000);
    EXPECT_EQ(at<std::int16_t>(b, 44), 0x0A0B);
    EXPECT_EQ(at<std::int32_t>(b, 46), -123456);
    EXPECT_EQ(at<std::int16_t>(b, 50), 2);
    EXPECT_EQ(at<std::int16_t>(b, 52), 7);
    EXPECT_EQ(at<std::int16_t>(b, 54), -7);
    EXPECT_EQ(at<std::int16_t>(b, 56), 3);
    EXPECT_EQ(at<std::int16_t>(b, 58), 1);
    EXPECT_EQ(at<std::int16_t>(b, 60), 0);
    EXPECT_EQ(at<std::int16_t>(b, 66), 1);
    EXPECT_EQ(at<std::int16_t>(b, 68), 1);
    EXPECT_EQ(at<std::int16_t>(b, 70), -1);
    EXPECT_EQ(at<std::int16_t>(b, 80), 1);
    EXPECT_EQ(at<std::int16_t>(b, 82), 2);
    EXPECT_EQ(b[1], 0x01) << "little-endian";
    EXPECT_EQ(b[0], 0x02);
}

TEST(RecordCodec, RoundTripKeepsEveryFieldAndTheExactBitsOfTheReals) {
    ActionRecord r = everyFieldSet();
    r.increment = 0.1 + 0.2; // not a short decimal
    std::array<std::uint8_t, kRecordBytes> b{};
    encodeRecord(r, b);
    const ActionRecord back = decodeRecord(b);
    EXPECT_EQ(back, r);
    EXPECT_EQ(std::memcmp(&back.increment, &r.increment, sizeof(double)), 0);
}
