// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/WavHeader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "settings/FileIo.h"

namespace pelmora {

namespace {

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool PutAt(int fd, uint32_t value, off_t offset, int* error) {
    uint8_t bytes[4];
    Put32(bytes, value);
    ssize_t n;
    do {
        n = ::pwrite(fd, bytes, sizeof bytes, offset);
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof bytes)) return true;
    if (error) *error = n < 0 ? errno : EIO;
    return false;
}

}  // namespace

std::array<uint8_t, kWavHeaderBytes> BuildWavHeader(const WaveFormat& f) {
    std::array<uint8_t, kWavHeaderBytes> h{};
    uint8_t* p = h.data();
    std::memcpy(p + 0, "RIFF", 4);
    std::memcpy(p + 8, "WAVE", 4);
    std::memcpy(p + 12, "fmt ", 4);
    Put32(p + 16, 16);
    Put16(p + 20, f.formatTag);
    Put16(p + 22, f.channels);
    Put32(p + 24, f.samplesPerSec);
    Put32(p + 28, f.avgBytesPerSec);
    Put16(p + 32, f.blockAlign);
    Put16(p + 34, f.bitsPerSample);
    std::memcpy(p + 36, "data", 4);
    return h;
}

bool WriteWavHeader(int fd, const WaveFormat& format, int* error) {
    const auto h = BuildWavHeader(format);
    return WriteAll(fd, h.data(), 20, nullptr, error) && WriteAll(fd, h.data() + 20, 16, nullptr, error) &&
           WriteAll(fd, h.data() + 36, 8, nullptr, error);
}

WavSizes WavSizesFor(uint64_t fileLength) {
    constexpr uint64_t kFourGiB = uint64_t{1} << 32;
    WavSizes s;
    if (fileLength >= kFourGiB) {
        s.riffSize = 0xFFFFFFFFu;
        s.dataSize = 0xFFFFFFFFu;
        return s;
    }
    s.riffSize = fileLength >= 8 ? static_cast<uint32_t>(fileLength - 8) : 0;
    s.dataSize = fileLength >= kWavHeaderBytes ? static_cast<uint32_t>(fileLength - kWavHeaderBytes) : 0;
    return s;
}

bool WriteWavSizes(int fd, uint64_t fileLength, int* error) {
    const WavSizes s = WavSizesFor(fileLength);
    return PutAt(fd, s.riffSize, kRiffSizeOffset, error) && PutAt(fd, s.dataSize, kDataSizeOffset, error);
}

bool CompleteWavHeader(int fd, int* error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        if (error) *error = errno;
        return false;
    }
    return WriteWavSizes(fd, static_cast<uint64_t>(st.st_size), error);
}

}  // namespace pelmora
