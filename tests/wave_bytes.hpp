// Builds wave files byte by byte for the tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline Bytes le16(std::uint16_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8)}; }
inline Bytes le32(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}
inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A table's input: bytes given in the table, or, for inputs of megabytes, a
// function that makes them when the test runs. Every test runs in a process of
// its own, which builds all the tables first: under a sanitizer or an
// emulator, megabytes built there for every test cost minutes.
struct InputBytes {
    Bytes given{};
    Bytes (*make)() = nullptr;
    InputBytes() = default;
    InputBytes(Bytes bytes) : given(std::move(bytes)) {}  // NOLINT: implicit, as a table's Bytes
    template <class Make>
    requires std::is_convertible_v<Make, Bytes (*)()> InputBytes(Make maker)
        : make(maker) {}  // NOLINT: implicit, from a lambda
    Bytes bytes() const { return make != nullptr ? make() : given; }
};

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes slice(const Bytes& b, std::size_t from, std::size_t to) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to));
}

// A chunk with its size field set to the content's length; no pad byte.
inline Bytes chunk(const std::string& id, const Bytes& content) {
    return cat({text(id), le32(static_cast<std::uint32_t>(content.size())), content});
}

struct Format {
    std::uint16_t tag = 1;
    std::int16_t channels = 2;
    std::uint32_t rate = 48000;
    std::uint32_t avg_rate = 192000;
    std::int16_t block_align = 4;
    Bytes tail = le16(16);  // wBitsPerSample, and whatever follows it
};

inline Bytes fmt_body(const Format& f) {
    return cat({le16(f.tag), le16(std::uint16_t(f.channels)), le32(f.rate), le32(f.avg_rate),
                le16(std::uint16_t(f.block_align)), f.tail});
}

inline Bytes riff_header(std::uint32_t riff_size) {
    return cat({text("RIFF"), le32(riff_size), text("WAVE")});
}

// RIFF header + "fmt " chunk + the given chunks; RIFF size = length - 8.
inline Bytes wave_file(const Format& f, std::initializer_list<Bytes> chunks) {
    Bytes body = cat({text("WAVE"), chunk("fmt ", fmt_body(f))});
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return cat({text("RIFF"), le32(static_cast<std::uint32_t>(body.size())), body});
}

// The 76-byte chunk the converter inserts, for a given receiver frequency,
// sample rate and stop time.
inline Bytes auxi_chunk(std::uint32_t receiver, std::uint32_t rate, std::uint16_t hour, std::uint16_t minute,
                        std::uint16_t second) {
    const Bytes start = cat({le16(2011), le16(1), le16(5), le16(1), le16(8), le16(1), le16(1), le16(0)});
    const Bytes stop =
        cat({le16(2011), le16(1), le16(5), le16(1), le16(hour), le16(minute), le16(second), le16(0)});
    return cat({text("auxi"), le32(68), start, stop, le32(receiver), le32(66666666), le32(0), le32(rate),
                le32(0), le32(0), le32(0), le32(0), le32(0)});
}

// What a successful conversion of a file built by wave_file() must write: the
// input's header and "fmt " chunk, "auxi", "data" and every byte after the
// data size, with the RIFF size set to the output's length - 8.
inline Bytes expected_output(const Bytes& input, std::size_t fmt_end, const Bytes& auxi,
                             std::size_t data_start) {
    Bytes out = cat({slice(input, 0, fmt_end), auxi, slice(input, data_start, input.size())});
    const Bytes size = le32(static_cast<std::uint32_t>(out.size() - 8));
    std::copy(size.begin(), size.end(), out.begin() + 4);
    return out;
}

namespace case_names {
// Test cases print as their name in test listings, not as raw bytes.
template <typename Case>
requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
}  // namespace case_names

// Byte comparison that reports sizes and the first differing offset instead
// of dumping megabytes.
inline std::string first_difference(const Bytes& actual, const Bytes& expected) {
    const std::size_t n = std::min(actual.size(), expected.size());
    std::size_t i = 0;
    while (i < n && actual[i] == expected[i]) ++i;
    if (i == n && actual.size() == expected.size()) return "";
    return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
           ", first difference at offset " + std::to_string(i);
}
#define EXPECT_BYTES_EQ(actual, expected) EXPECT_EQ(first_difference((actual), (expected)), "")
