// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/FileIo.h"

#include <unistd.h>

#include <cerrno>

namespace pelmora {

bool WriteAll(int fd, const void* data, std::size_t size, std::size_t* done, int* error) {
    const char* p = static_cast<const char*>(data);
    std::size_t written = 0;
    bool ok = true;
    while (written < size) {
        const ssize_t n = ::write(fd, p + written, size - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (error) *error = n < 0 ? errno : EIO;
            ok = false;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (done) *done = written;
    return ok;
}

bool ReadAll(int fd, void* data, std::size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace pelmora
