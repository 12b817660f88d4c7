// The "auxi" chunk: 76 bytes of receiver metadata that the converter writes
// immediately before the "data" chunk.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Same field order and widths as the Windows SYSTEMTIME structure.
struct TimeRecord {
    std::uint16_t wYear = 0;
    std::uint16_t wMonth = 0;
    std::uint16_t wDayOfWeek = 0;
    std::uint16_t wDay = 0;
    std::uint16_t wHour = 0;
    std::uint16_t wMinute = 0;
    std::uint16_t wSecond = 0;
    std::uint16_t wMilliseconds = 0;
};

// One record per run. Field order is the order of the bytes in the chunk.
struct AuxiRecord {
    std::array<char, 4> chunk_id{};
    std::uint32_t chunk_size = 0;
    TimeRecord start_time;
    TimeRecord stop_time;
    std::uint32_t receiver_frequency = 0;
    std::uint32_t fixed_frequency = 0;
    std::uint32_t zero_word_a = 0;
    std::uint32_t sample_rate = 0;
    std::uint32_t zero_word_b = 0;
    std::array<std::uint32_t, 4> zero_tail{};
};

inline constexpr std::size_t auxi_chunk_bytes = 76;
inline constexpr std::uint32_t default_receiver_frequency = 10'000'000;
inline constexpr std::uint32_t fixed_frequency_value = 66'666'666;

// Fills in everything but stop_time and sample_rate's measured value.
void auxi_set_defaults(AuxiRecord& record);

// stop_time = start_time + data_size / bytes_per_sec whole seconds, on the
// start's date (hours are not wrapped at 24). A rate of 0 gives a duration of
// 0; a stop hour past 65535 is held at 65535:59:59.
void auxi_set_stop_time(AuxiRecord& record, std::uint32_t data_size, std::uint64_t bytes_per_sec);

// The chunk exactly as it is stored in the file, little-endian.
std::array<std::uint8_t, auxi_chunk_bytes> auxi_image(const AuxiRecord& record);

// Writes the whole chunk as one unit; false when it was not written whole.
bool auxi_write(const AuxiRecord& record, std::FILE* output);
