// The conversion pass: one read of the input, front to back, that writes the
// output as it goes. It never seeks the input, so the input may be a pipe.
#pragma once

#include "auxi/auxi_record.hpp"
#include "wave/stream.hpp"

// Reads, checks and copies the RIFF header and the whole "fmt " chunk, each
// field written only once it has passed its check. On success the input is
// positioned at the first chunk after "fmt ".
Outcome copy_wave_header(ConversionState& state, AuxiRecord& record);

// Walks the chunks after "fmt ": takes the receiver frequency from "rcvr",
// drops every other chunk before "data", then writes "auxi", the data chunk's
// header and the sample data.
Outcome walk_chunks(ConversionState& state, AuxiRecord& record);

// Copies every byte left in the input.
Outcome copy_sample_data(ConversionState& state);

// The whole pass: header, chunks, and on success the finished, closed output.
Outcome convert_wave(ConversionState& state, AuxiRecord& record);
