#pragma once
// Finding the encoder executable: the configured path, then the program's folder, then PATH.

#include <string>

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

}  // namespace pelmora
