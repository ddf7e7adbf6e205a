#include "app/ProgramFolder.h"

#include <limits.h>
#include <unistd.h>

#include <vector>

namespace pelmora {

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ProgramFolder() {
    std::vector<char> buf(PATH_MAX + 1);
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "./";
    std::string folder = FolderOf(std::string(buf.data(), static_cast<std::size_t>(n)));
    return folder.empty() ? "./" : folder;
}

}  // namespace pelmora
