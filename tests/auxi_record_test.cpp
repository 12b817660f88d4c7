#include <gtest/gtest.h>

#include "auxi/auxi_record.hpp"
#include "wave_bytes.hpp"

namespace {

using case_names::PrintTo;

AuxiRecord defaults() {
    AuxiRecord record;
    auxi_set_defaults(record);
    return record;
}

Bytes image_of(const AuxiRecord& record) {
    const auto image = auxi_image(record);
    return Bytes(image.begin(), image.end());
}

TEST(AuxiRecord, DefaultImageIsExact) {
    AuxiRecord record = defaults();
    record.sample_rate = 48000;
    // Stop time is not set by the defaults and stays zero.
    const Bytes expected = cat(
        {text("auxi"), le32(68), Bytes{0xDB, 0x07, 1, 0, 5, 0, 1, 0, 8, 0, 1, 0, 1, 0, 0, 0}, Bytes(16, 0),
         Bytes{0x80, 0x96, 0x98, 0x00}, Bytes{0xAA, 0x40, 0xF9, 0x03}, le32(0), le32(48000), Bytes(20, 0)});
    ASSERT_EQ(expected.size(), 76u);
    EXPECT_BYTES_EQ(image_of(record), expected);
}

TEST(AuxiRecord, DefaultsClearTheMeasuredWords) {
    AuxiRecord record;
    record.sample_rate = 1;
    record.zero_word_a = 2;
    record.zero_word_b = 3;
    record.zero_tail = {4, 5, 6, 7};
    record.receiver_frequency = 8;
    auxi_set_defaults(record);
    EXPECT_BYTES_EQ(image_of(record), image_of(defaults()));
}

struct StopCase {
    const char* name;
    std::uint32_t data_size;
    std::uint64_t bytes_per_sec;
    std::uint16_t hour, minute, second;
};

class StopTime : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopTime, IsStartPlusWholeSecondsOnTheStartDate) {
    const StopCase c = GetParam();
    AuxiRecord record = defaults();
    auxi_set_stop_time(record, c.data_size, c.bytes_per_sec);
    const TimeRecord& stop = record.stop_time;
    EXPECT_EQ(stop.wYear, 2011);
    EXPECT_EQ(stop.wMonth, 1);
    EXPECT_EQ(stop.wDayOfWeek, 5);
    EXPECT_EQ(stop.wDay, 1);
    EXPECT_EQ(stop.wHour, c.hour);
    EXPECT_EQ(stop.wMinute, c.minute);
    EXPECT_EQ(stop.wSecond, c.second);
    EXPECT_EQ(stop.wMilliseconds, 0);
}

INSTANTIATE_TEST_SUITE_P(Durations, StopTime,
                         ::testing::Values(StopCase{"NothingRecorded", 0, 192000, 8, 1, 1},
                                           StopCase{"UnderASecondRoundsDown", 191999, 192000, 8, 1, 1},
                                           StopCase{"FiftyNineSeconds", 59 * 192000, 192000, 8, 2, 0},
                                           StopCase{"HourLessASecond", 3599 * 1000, 1000, 9, 1, 0},
                                           StopCase{"PastMidnight", 57539 * 1000u, 1000, 24, 0, 0},
                                           StopCase{"NoRateMeansNoDuration", 1000, 0, 8, 1, 1},
                                           StopCase{"RateBeyond32Bits", UINT32_MAX, 1ull << 40, 8, 1, 1},
                                           StopCase{"LastHourThatFits", 235897139, 1, 65535, 0, 0},
                                           StopCase{"LastHourPlusASecond", 235897140, 1, 65535, 0, 1},
                                           StopCase{"LastSecondThatFits", 235897139 + 3599, 1, 65535, 59, 59},
                                           StopCase{"OneHourMoreIsHeld", 235897139 + 3600, 1, 65535, 59, 59},
                                           StopCase{"LongestDurationIsHeld", UINT32_MAX, 1, 65535, 59, 59}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AuxiRecord, ImageIsAlways76BytesWithSize68) {
    AuxiRecord record = defaults();
    auxi_set_stop_time(record, UINT32_MAX, 1);
    const Bytes image = image_of(record);
    ASSERT_EQ(image.size(), 76u);
    EXPECT_EQ(slice(image, 0, 8), cat({text("auxi"), le32(68)}));
}

}  // namespace
