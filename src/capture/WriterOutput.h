// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The destination of the writer thread during one recording: a WAV or raw file that the
// program writes itself, or the encoder's input pipe. The record control opens and finishes
// it on the main thread; the writer thread writes blocks into it.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "capture/WaveIn.h"

namespace pelmora {

enum class OutputKind { None, WavFile, RawFile, EncoderPipe };

enum class WriteOutcome {
    Written,  // the whole block is out
    Dropped,  // no output is open (the recording has been finished)
    Failed,   // the write failed; `*error` holds errno
};

class WriterOutput {
public:
    WriterOutput() = default;
    ~WriterOutput();
    WriterOutput(const WriterOutput&) = delete;
    WriterOutput& operator=(const WriterOutput&) = delete;

    // Main thread, between recordings:

    /// Creates or truncates `path` (read/write) and, for a WAV file, writes its 44-byte header
    /// with both sizes 0. False with errno in `*error`; nothing is left open then.
    bool OpenFile(const std::string& path, OutputKind kind, const WaveFormat& format, int* error);
    /// Sends blocks into `fd`, the encoder's write end; the encoder keeps ownership of it.
    void AttachPipe(int fd);
    /// Ends the output; waits for a write in progress, and no block is written afterwards.
    /// A WAV file gets its sizes completed; a file is flushed and closed; a pipe is let go
    /// without closing. False with errno in `*error` when completing or flushing failed.
    bool Finish(int* error);

    /// Never waits: a write blocked in a full pipe must not hold up the caller.
    OutputKind Kind() const;

    // Writer thread:

    /// Writes the whole block. A file write that fails is taken back to the block's start, so
    /// the file always holds whole blocks. While a WAV file grows, its header sizes are brought
    /// up to date after every second of sound, so a recording cut short by a crash or power
    /// loss still leaves a valid file.
    WriteOutcome Write(const uint8_t* data, std::size_t size, int* error);

private:
    mutable std::mutex mutex_;  // held by every write, so Finish never closes under one
    std::atomic<OutputKind> kind_{OutputKind::None};  // changed under mutex_, read without it
    int fd_ = -1;
    uint64_t length_ = 0;          // bytes in the file
    uint64_t refreshInterval_ = 0; // bytes of one second of sound
    uint64_t refreshedAt_ = 0;     // length_ at the last size refresh
};

}  // namespace pelmora
