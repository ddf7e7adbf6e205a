// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The name of a recording's output file, from the General page's output file entry.

#include <cstddef>
#include <ctime>
#include <string>

namespace pelmora {

enum class OutputFormat { Mp3, Wav, Raw };

/// ".mp3" without writeUncompressed; ".wav" with it; ".raw" with it and rawPcm.
OutputFormat OutputFormatFor(bool writeUncompressed, bool rawPcm);
const char* ExtensionFor(OutputFormat format);

/// The entry trimmed of white space at both ends, less a "." and exactly three characters
/// after the last "." of its file name ("out" when no file name is left).
std::string OutputBaseName(const std::string& entry);

/// Longest output file entry the settings record holds, in bytes.
constexpr std::size_t kMaxOutputEntry = 259;

/// The message box text for an output file name `excessBytes` longer than the record holds.
std::string OutputNameTooLongMessage(std::size_t excessBytes);

struct OutputName {
    std::string entry;  // base name with extension: shown by the General page, kept in outputFileName
    std::string path;   // the file recorded to
};

/// Names the output: the base name with, when `timestamp` is given, "_%Y%m%d-%H%M%S" of it,
/// and the extension. A relative name is taken from `outputFolder` (trailing "/"); a name that
/// is already a full path is used as it is, so a folder never appears twice.
OutputName MakeOutputName(const std::string& entry, OutputFormat format, const std::tm* timestamp,
                          const std::string& outputFolder);

}  // namespace pelmora
