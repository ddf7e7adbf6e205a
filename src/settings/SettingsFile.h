// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// pelmora.ini and *.pmr: the 1584-byte record, its MD5 as 32 lowercase hex digits, a zero byte.

#include <string>

#include "settings/RecSettings.h"

namespace pelmora {

class LogSink;

constexpr std::size_t kDigestTextBytes = 33;  // 32 digits and the zero byte
constexpr std::size_t kSettingsFileSize = kRecSettingsSize + kDigestTextBytes;

/// MD5 over all 1584 bytes of the record, as 32 lowercase hexadecimal digits.
std::string SettingsDigest(const RecSettings& s);

/// Creates or truncates `path` and writes record and digest. On failure returns false
/// and puts the system's reason in `error`; the record is unchanged either way.
bool WriteSettingsFile(const std::string& path, const RecSettings& s, std::string* error = nullptr);

/// Loads `path` into `s`, falling back from a bad preset to pelmora.ini and from a bad
/// pelmora.ini to the defaults (written back at once). `s` always holds valid settings after.
/// The defaults' output folder is `defaultOutputFolder`, or the program folder when empty.
void LoadSettings(RecSettings& s, const std::string& path, const std::string& programFolder, LogSink& log,
                  const std::string& defaultOutputFolder = std::string());

/// The part of a path after its last "/".
std::string FileNameOf(const std::string& path);

/// The file a preset is saved to: the chosen path, with ".pmr" added when its file name has
/// no extension.
std::string PresetSavePath(const std::string& chosenPath);

/// The question before an existing file is replaced.
std::string ReplaceFileQuestion(const std::string& path);

}  // namespace pelmora
