// UTF-8 read one character at a time, for the console's escaping and for
// Windows names.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

// The code point of the well-formed UTF-8 character that `text` (not empty)
// starts with, and its length in bytes. A byte that starts none stands for
// itself, length 1, so that a lone 0x9B counts as the C1 control a terminal
// takes it for. With `surrogates`, an encoded surrogate (a lone one in a
// Windows name) is a character too.
inline std::pair<char32_t, std::size_t> next_character(std::string_view text, bool surrogates = false) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(0);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length <= 1 || text.size() < length) return {lead, 1};
    char32_t code = lead & (0x7FU >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0U) != 0x80) return {lead, 1};
        code = (code << 6) | (byte(i) & 0x3FU);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};  // shorter forms are overlong
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < smallest[length] || (surrogate && !surrogates) || code > 0x10FFFF) return {lead, 1};
    return {code, length};
}
