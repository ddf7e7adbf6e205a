// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File-system helpers of a recording: the output folder, free space and file size texts.

#include <cstdint>
#include <optional>
#include <string>

namespace pelmora {

/// Creates every missing folder of `path` ("/"-separated; a folder path ends with "/")
/// and reports whether the folder exists afterwards.
bool CreateFolderPath(const std::string& path);

/// Whether `folder` (trailing "/" optional) is a folder that can be entered.
bool FolderExists(const std::string& folder);

/// Bytes available to the user on the volume that holds `folder` (f_bavail × f_frsize).
/// A folder that does not exist yet is measured on its nearest existing parent, the volume it
/// will be created on. Empty when nothing can be measured.
std::optional<uint64_t> FreeSpaceBytes(const std::string& folder);

/// "%d B", "%.2f KB", "%.2f MB" or "%.2f GB" for a byte count.
std::string FileSizeText(uint64_t bytes);

/// The size of the file at `path` as text, and its byte count in `*size` when given.
/// A file that cannot be opened or measured gives an empty text and 0.
std::string FormatFileSize(const std::string& path, uint64_t* size = nullptr);

}  // namespace pelmora
