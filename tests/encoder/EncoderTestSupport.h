// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Temporary folders, scripts and a recording log for the encoder tests.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "recording/LogSink.h"

namespace pelmora::test {

class RecordingLog : public LogSink {
public:
    void AddLogLine(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

/// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pelmora-enc-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    /// The folder with a trailing "/", the form programFolder takes.
    std::string Folder() const { return path_ + "/"; }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    ::chmod(path.c_str(), mode);
}

/// An executable /bin/sh script.
inline void WriteScript(const std::string& path, const std::string& body) {
    WriteFile(path, "#!/bin/sh\n" + body + "\n", 0755);
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace pelmora::test
