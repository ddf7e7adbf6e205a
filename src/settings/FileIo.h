// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole-buffer reads and writes on file descriptors, carried on across signals and short counts.

#include <cstddef>

namespace pelmora {

/// Writes all of `size` bytes. On failure, false with errno (EIO for a write that took
/// nothing) in `*error`; the count written before it goes to `*done`. Both may be null.
bool WriteAll(int fd, const void* data, std::size_t size, std::size_t* done = nullptr, int* error = nullptr);

/// Reads exactly `size` bytes; false on an error or an early end of the file.
bool ReadAll(int fd, void* data, std::size_t size);

}  // namespace pelmora
