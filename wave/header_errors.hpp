// The header error codes: the number in "Error in .wav file header [N]" names
// the check that stopped the conversion. A code that names a value which
// "cannot be read" means the input ended there; an I/O error anywhere in the
// input is a read failure instead, never a header error. Codes 14 to 24 are
// never given.
#pragma once

namespace header_code {

// The first 4 bytes cannot be read (an empty input).
inline constexpr int empty_input = 0;
// The first 4 bytes are not "RIFF".
inline constexpr int not_riff = 1;
// The RIFF size or the form type cannot be read, or the form type is not "WAVE".
inline constexpr int not_wave = 2;
// The next 4 bytes cannot be read or are not "fmt ": it must come first.
inline constexpr int no_fmt_chunk = 3;
// The fmt size cannot be read.
inline constexpr int no_fmt_size = 4;
// wFormatTag cannot be read or is neither 1 (PCM) nor 3 (IEEE float); the
// line then starts with "Unknown wFormatTag.".
inline constexpr int unknown_format_tag = 5;
// nChannels cannot be read or is not 1 or 2.
inline constexpr int bad_channel_count = 6;
// nSamplesPerSec cannot be read.
inline constexpr int no_sample_rate = 7;
// nAvgBytesPerSec cannot be read.
inline constexpr int no_byte_rate = 8;
// nBlockAlign cannot be read, or nBlockAlign / nChannels is not 1 to 4.
inline constexpr int bad_block_align = 9;
// 1 byte per sample, but not PCM.
inline constexpr int one_byte_not_pcm = 10;
// 2 bytes per sample, but not PCM.
inline constexpr int two_bytes_not_pcm = 11;
// 3 bytes per sample, but not PCM.
inline constexpr int three_bytes_not_pcm = 12;
// 4 bytes per sample, but not IEEE float.
inline constexpr int four_bytes_not_float = 13;

// Codes 11 to 13 also name where the input ended; the numbers are shared with
// the sample-width checks above, which are other events.

// The input ends inside the fmt chunk.
inline constexpr int fmt_cut_short = 11;
// The input ends where the first chunk after "fmt " (and its pad byte) should
// begin.
inline constexpr int ended_after_fmt = 12;
// A "rcvr" chunk is cut short, or the input ends right after one.
inline constexpr int rcvr_cut_short = 13;
// The size of "data" or of another chunk is cut short, or the input ends
// inside a skipped chunk or right after one.
inline constexpr int chunk_cut_short = 25;

}  // namespace header_code
