// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoder/EncoderLocation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelmora {

bool IsUsableEncoder(const std::string& path) {
    if (path.empty()) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular && ::access(path.c_str(), X_OK) == 0;
}

std::string LocateEncoder(const std::string& configuredPath, const std::string& programFolder,
                          const std::string& searchPath, LogSink& log) {
    return LocateEncoder(configuredPath, std::vector<std::string>{programFolder}, searchPath, log);
}

std::string LocateEncoder(const std::string& configuredPath, const std::vector<std::string>& localFolders,
                          const std::string& searchPath, LogSink& log) {
    if (IsUsableEncoder(configuredPath)) return configuredPath;
    log.AddLogLine("Path \"" + configuredPath + "\" not found. Local path will be used.");

    for (const std::string& folder : localFolders) {
        const std::string local = folder + kEncoderFileName;
        if (IsUsableEncoder(local)) return local;
    }

    std::string::size_type start = 0;
    while (start <= searchPath.size()) {
        std::string::size_type end = searchPath.find(':', start);
        if (end == std::string::npos) end = searchPath.size();
        std::string dir = searchPath.substr(start, end - start);
        if (!dir.empty() && dir[0] == '/') {
            if (dir.back() != '/') dir += '/';
            if (IsUsableEncoder(dir + kEncoderFileName)) return dir + kEncoderFileName;
        }
        start = end + 1;
    }

    log.AddLogLine("ERROR:   Lame.exe not found!");
    return std::string();
}

}  // namespace pelmora
