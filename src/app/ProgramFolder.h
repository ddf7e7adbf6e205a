#pragma once

#include <string>

namespace pelmora {

/// Folder of the running executable with a trailing "/" (from /proc/self/exe).
std::string ProgramFolder();

/// Folder part of a path, with its trailing "/"; empty when the path has none.
std::string FolderOf(const std::string& path);

}  // namespace pelmora
