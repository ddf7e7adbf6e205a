// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/OutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>

namespace pelmora {

namespace {

std::string WithoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace

bool FolderExists(const std::string& folder) {
    const std::string path = WithoutTrailingSlash(folder);
    if (path.empty()) return false;
    struct stat st {};
    // Entering a folder needs it to be one and to be searchable; the process-wide current
    // directory is left alone, as other threads rely on it.
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool CreateFolderPath(const std::string& path) {
    std::string full = path;
    if (full.empty()) return false;
    if (full.back() != '/') full += '/';
    std::string built;
    std::string remainder = full;
    if (remainder[0] == '/') {
        built = "/";
        remainder.erase(0, 1);
    }
    std::size_t slash;
    while (!remainder.empty() && (slash = remainder.find('/')) != std::string::npos) {
        built += remainder.substr(0, slash + 1);
        remainder.erase(0, slash + 1);
        ::mkdir(WithoutTrailingSlash(built).c_str(), 0777);  // it may exist already
    }
    return FolderExists(full);
}

std::optional<uint64_t> FreeSpaceBytes(const std::string& folder) {
    std::string path = WithoutTrailingSlash(folder);
    if (path.empty()) path = ".";
    for (;;) {
        struct statvfs vfs {};
        if (::statvfs(path.c_str(), &vfs) == 0)
            return static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
        const std::size_t slash = path.find_last_of('/');
        if (slash == std::string::npos) {
            if (path == ".") return std::nullopt;
            path = ".";
        } else if (slash == 0) {
            if (path == "/") return std::nullopt;
            path = "/";
        } else {
            path.erase(slash);
        }
    }
}

std::string FileSizeText(uint64_t n) {
    char text[64];
    if (n < 1024)
        std::snprintf(text, sizeof text, "%d B", static_cast<int>(n));
    else if (n < 1048576)
        std::snprintf(text, sizeof text, "%.2f KB", static_cast<double>(n) / 1024.0);
    else if (n < 1073741824)
        std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(n) / 1048576.0);
    else
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(n) / 1073741824.0);
    return text;
}

std::string FormatFileSize(const std::string& path, uint64_t* size) {
    if (size) *size = 0;
    if (path.empty()) return {};
    // Non-blocking: opening a named pipe for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat st {};
    const bool measured = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!measured) return {};
    const uint64_t n = static_cast<uint64_t>(st.st_size);
    if (size) *size = n;
    return FileSizeText(n);
}

}  // namespace pelmora
