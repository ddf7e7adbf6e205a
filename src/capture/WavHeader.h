// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 44-byte header that begins a WAV output file, and the completion of its two sizes.

#include <array>
#include <cstdint>

#include "capture/WaveIn.h"

namespace pelmora {

constexpr int kWavHeaderBytes = 44;
constexpr int kRiffSizeOffset = 4;
constexpr int kDataSizeOffset = 40;

/// The header for `format` with both size fields 0.
std::array<uint8_t, kWavHeaderBytes> BuildWavHeader(const WaveFormat& format);

/// Writes the header at the file's current position in three pieces (20, 16 and 8 bytes).
/// False with errno in `*error` when a piece cannot be written whole.
bool WriteWavHeader(int fd, const WaveFormat& format, int* error);

struct WavSizes {
    uint32_t riffSize = 0;  // file length - 8
    uint32_t dataSize = 0;  // file length - 44
};

/// Sizes for a file of `fileLength` bytes. A file of 4 GiB or more cannot be described by
/// 32-bit sizes: both fields then hold 0xFFFFFFFF rather than a wrapped, misleading value.
WavSizes WavSizesFor(uint64_t fileLength);

/// Writes the sizes for `fileLength` at offsets 4 and 40 with positional writes, so the
/// file's own position is untouched. False with errno in `*error` on failure.
bool WriteWavSizes(int fd, uint64_t fileLength, int* error);

/// Completes the header from the file's current length.
bool CompleteWavHeader(int fd, int* error);

}  // namespace pelmora
