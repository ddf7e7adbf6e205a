// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/OutputNaming.h"

#include <cctype>
#include <cstdio>

#include "settings/RecSettings.h"

namespace pelmora {

static_assert(kMaxOutputEntry == sizeof(RecSettings::outputFileName) - 1, "the entry is kept in outputFileName");

OutputFormat OutputFormatFor(bool writeUncompressed, bool rawPcm) {
    if (!writeUncompressed) return OutputFormat::Mp3;
    return rawPcm ? OutputFormat::Raw : OutputFormat::Wav;
}

const char* ExtensionFor(OutputFormat format) {
    switch (format) {
        case OutputFormat::Mp3: return ".mp3";
        case OutputFormat::Wav: return ".wav";
        case OutputFormat::Raw: return ".raw";
    }
    return ".mp3";
}

std::string OutputNameTooLongMessage(std::size_t excessBytes) {
    char text[160];
    std::snprintf(text, sizeof text, "Output file name is too long by %zu byte%s.\nAt most %zu bytes fit, extension included.",
                  excessBytes, excessBytes == 1 ? "" : "s", kMaxOutputEntry);
    return text;
}

std::string OutputBaseName(const std::string& entry) {
    std::size_t begin = 0, end = entry.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(entry[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(entry[end - 1]))) --end;
    std::string name = entry.substr(begin, end - begin);
    // Only the file name has an extension: a dot in a folder name is left alone.
    const std::size_t slash = name.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot >= nameStart && name.size() - dot - 1 == 3) name.erase(dot);
    if (name.size() == nameStart) name += "out";
    return name;
}

OutputName MakeOutputName(const std::string& entry, OutputFormat format, const std::tm* timestamp,
                          const std::string& outputFolder) {
    const std::string base = OutputBaseName(entry);
    std::string copy = base;
    if (timestamp) {
        char stamp[64];
        if (std::strftime(stamp, sizeof stamp, "_%Y%m%d-%H%M%S", timestamp) > 0) copy += stamp;
    }
    const char* ext = ExtensionFor(format);
    OutputName out;
    out.entry = base + ext;
    copy += ext;
    out.path = (!copy.empty() && copy[0] == '/') ? copy : outputFolder + copy;
    return out;
}

}  // namespace pelmora
