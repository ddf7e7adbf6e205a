// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A temporary folder removed with its contents at the end of a test, and small file helpers.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pelmora::test {

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/pelmora-test-XXXXXX";
        path_ = ::mkdtemp(tmpl);
        path_ += '/';
    }
    ~TempDir() {
        std::string cmd = "rm -rf '" + path_ + "'";
        (void)std::system(cmd.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    /// The folder, with a trailing "/".
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

inline std::vector<char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

}  // namespace pelmora::test
