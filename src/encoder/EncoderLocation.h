// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding the encoder executable: the configured path, then the program's own folders, then PATH.

#include <string>
#include <vector>

#include "recording/LogSink.h"

namespace pelmora {

constexpr const char* kEncoderFileName = "lame";

/// A regular file we may read and execute.
bool IsUsableEncoder(const std::string& path);

/// The encoder's full path, or empty when there is none (after logging why).
/// `programFolder` ends in "/"; `searchPath` is a PATH value (entries that are not
/// absolute are skipped, so the current folder is never searched).
std::string LocateEncoder(const std::string& configuredPath, const std::string& programFolder,
                          const std::string& searchPath, LogSink& log);

/// The same with several local folders (each ending in "/"), searched in their order
/// before PATH.
std::string LocateEncoder(const std::string& configuredPath, const std::vector<std::string>& localFolders,
                          const std::string& searchPath, LogSink& log);

}  // namespace pelmora
