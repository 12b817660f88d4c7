#include "auxi/auxi_record.hpp"

#include <algorithm>

#include "wave/little_endian.hpp"

namespace {

constexpr std::uint64_t seconds_per_hour = 3600;
constexpr std::uint64_t largest_hour = 65535;

void put_u16(std::uint8_t*& at, std::uint16_t value) {
    store_u16(at, value);
    at += 2;
}

void put_u32(std::uint8_t*& at, std::uint32_t value) {
    store_u32(at, value);
    at += 4;
}

void put_time(std::uint8_t*& at, const TimeRecord& t) {
    for (std::uint16_t field :
         {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}) {
        put_u16(at, field);
    }
}

}  // namespace

void auxi_set_defaults(AuxiRecord& record) {
    record.chunk_id = {'a', 'u', 'x', 'i'};
    record.chunk_size = auxi_chunk_bytes - 8;
    record.start_time.wYear = 2011;
    record.start_time.wMonth = 1;
    record.start_time.wDayOfWeek = 5;  // fixed, not derived from the date
    record.start_time.wDay = 1;
    record.start_time.wHour = 8;
    record.start_time.wMinute = 1;
    record.start_time.wSecond = 1;
    record.receiver_frequency = default_receiver_frequency;
    record.fixed_frequency = fixed_frequency_value;
    record.zero_word_a = 0;
    record.sample_rate = 0;
    record.zero_word_b = 0;
    record.zero_tail = {};
}

void auxi_set_stop_time(AuxiRecord& record, std::uint32_t data_size, std::uint64_t bytes_per_sec) {
    const TimeRecord& start = record.start_time;
    const std::uint64_t duration = bytes_per_sec == 0 ? 0 : data_size / bytes_per_sec;
    // 64 bits: a u32 duration plus the start's seconds cannot overflow here.
    // cppcheck 2.10 takes the sum for two assignments to one variable.
    // cppcheck-suppress redundantAssignment
    const std::uint64_t total =
        duration + start.wHour * seconds_per_hour + start.wMinute * std::uint64_t{60} + start.wSecond;

    TimeRecord& stop = record.stop_time;
    stop.wYear = start.wYear;
    stop.wMonth = start.wMonth;
    stop.wDayOfWeek = start.wDayOfWeek;
    stop.wDay = start.wDay;
    stop.wMilliseconds = 0;
    const std::uint64_t hours = total / seconds_per_hour;
    if (hours > largest_hour) {
        stop.wHour = static_cast<std::uint16_t>(largest_hour);
        stop.wMinute = 59;
        stop.wSecond = 59;
        return;
    }
    const std::uint64_t rest = total - hours * seconds_per_hour;
    stop.wHour = static_cast<std::uint16_t>(hours);
    stop.wMinute = static_cast<std::uint16_t>(rest / 60);
    stop.wSecond = static_cast<std::uint16_t>(rest % 60);
}

std::array<std::uint8_t, auxi_chunk_bytes> auxi_image(const AuxiRecord& record) {
    std::array<std::uint8_t, auxi_chunk_bytes> image{};
    std::uint8_t* at = image.data();
    at = std::copy(record.chunk_id.begin(), record.chunk_id.end(), at);
    put_u32(at, record.chunk_size);
    put_time(at, record.start_time);
    put_time(at, record.stop_time);
    for (std::uint32_t word : {record.receiver_frequency, record.fixed_frequency, record.zero_word_a,
                               record.sample_rate, record.zero_word_b}) {
        put_u32(at, word);
    }
    for (std::uint32_t word : record.zero_tail) {
        put_u32(at, word);
    }
    return image;
}

bool auxi_write(const AuxiRecord& record, std::FILE* output) {
    const auto image = auxi_image(record);
    return std::fwrite(image.data(), 1, image.size(), output) == image.size();
}
