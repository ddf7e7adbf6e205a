// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The output file entry of the General page: how a typed or chosen name becomes
// outputFolder and outputFileName. Paths use "/", a leading "/" is absolute and "~/"
// stands for the home folder; everything else is below the program's folder.

#include <string>

#include "settings/RecSettings.h"

namespace pelmora {

/// Longest text the record's outputFileName and outputFolder fields hold.
constexpr std::size_t kMaxOutputText = sizeof(RecSettings::outputFileName) - 1;

struct OutputNameResult {
    bool changed = false;   // false: the entry was left as it was and nothing is stored
    bool refused = false;   // the name does not fit the record: nothing is stored, and the
                            // box keeps the text for correction
    std::string message;    // why it was refused, for a message box
    std::string boxText;    // what the file name box shows afterwards
    std::string memberText; // the page's copy of the entry
    std::string outputFolder;    // with trailing "/"
    std::string outputFileName;  // bare name for the program's folder, else the full path
};

std::string TrimSpace(const std::string& text);

/// Resolves the text of the file name box. `memberText` is the page's copy from the last
/// time; `programFolder` ends with "/"; `homeFolder` replaces a leading "~/".
OutputNameResult ValidateOutputName(const std::string& boxText, const std::string& memberText,
                                    const std::string& programFolder, const std::string& homeFolder);

struct BrowseKind {
    std::string extension;  // without the dot
    std::string filter;     // description|pattern pairs
};

/// Output kind from writeUncompressed and rawPcm.
BrowseKind OutputBrowseKind(const RecSettings& s);

/// The name proposed in the file dialog: the entry without the output folder in front
/// and without its extension.
std::string ProposedBrowseName(const std::string& memberText, const std::string& outputFolder,
                               const std::string& programFolder);

/// Folder the file dialog opens in: the output folder when it exists, else the program's
/// folder; without the trailing "/".
std::string BrowseStartFolder(const std::string& outputFolder, const std::string& programFolder);

/// The entry after the user chose `chosenPath` (absolute) in the file dialog; `memberText`
/// is the page's copy, kept when the chosen path does not fit.
OutputNameResult ApplyBrowsedPath(const std::string& chosenPath, const std::string& memberText,
                                  const std::string& programFolder);

/// Home folder from $HOME, with trailing "/"; "/" when unset.
std::string HomeFolder();

}  // namespace pelmora
