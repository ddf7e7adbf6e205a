// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/OutputName.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "recording/OutputNaming.h"

namespace pelmora {

namespace {

std::string FolderPart(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Fits(const OutputNameResult& r) {
    return r.outputFolder.size() <= kMaxOutputText && r.outputFileName.size() <= kMaxOutputText;
}

// Nothing is stored; the box shows `boxText` (what the user typed or chose) so that it can be
// corrected, and the user is told by how much it is too long.
OutputNameResult Refused(const OutputNameResult& tooLong, const std::string& boxText, const std::string& memberText) {
    OutputNameResult r;
    r.refused = true;
    r.boxText = boxText;
    r.memberText = memberText;
    const std::size_t longest = std::max(tooLong.outputFolder.size(), tooLong.outputFileName.size());
    r.message = OutputNameTooLongMessage(longest - kMaxOutputText);
    return r;
}

std::string WithoutTrailingSlash(const std::string& folder) {
    if (folder.size() > 1 && folder.back() == '/') return folder.substr(0, folder.size() - 1);
    return folder;
}

// A name stored for a folder: bare when the folder is the program's own, else the full path.
OutputNameResult Resolve(const std::string& fullPath, const std::string& programFolder) {
    OutputNameResult r;
    r.changed = true;
    r.boxText = fullPath;
    r.memberText = fullPath;
    std::string folder = FolderPart(fullPath);
    if (folder != programFolder) {
        r.outputFolder = folder;
        r.outputFileName = fullPath;
    } else {
        r.outputFolder = programFolder;
        r.outputFileName = NamePart(fullPath);
    }
    return r;
}

}  // namespace

std::string TrimSpace(const std::string& text) {
    const char* ws = " \t\r\n\v\f";
    std::size_t first = text.find_first_not_of(ws);
    if (first == std::string::npos) return std::string();
    std::size_t last = text.find_last_not_of(ws);
    return text.substr(first, last - first + 1);
}

OutputNameResult ValidateOutputName(const std::string& boxText, const std::string& memberText,
                                    const std::string& programFolder, const std::string& homeFolder) {
    std::string text = TrimSpace(boxText);
    if (text == memberText) {
        OutputNameResult same;
        same.boxText = boxText;
        same.memberText = memberText;
        return same;
    }

    OutputNameResult r;
    r.changed = true;
    if (text.empty()) {
        r.boxText = r.memberText = r.outputFileName = "out";
        r.outputFolder = programFolder;
        return r;
    }
    if (text.find('/') == std::string::npos) {
        r.boxText = boxText;  // the box keeps the text as typed
        r.memberText = text;
        r.outputFolder = programFolder;
        r.outputFileName = text;
        if (!Fits(r)) return Refused(r, boxText, memberText);
        return r;
    }

    if (text.back() == '/') text += "out";
    if (text.compare(0, 2, "~/") == 0) {
        std::string home = homeFolder.empty() || homeFolder.back() != '/' ? homeFolder + "/" : homeFolder;
        text = home + text.substr(2);
    } else if (text[0] != '/') {
        text = programFolder + text;
    }
    r = Resolve(text, programFolder);
    if (!Fits(r)) return Refused(r, boxText, memberText);
    return r;
}

BrowseKind OutputBrowseKind(const RecSettings& s) {
    if (s.writeUncompressed && s.rawPcm) return {"raw", "raw pcm files (*.raw)|*.raw|All files (*.*)|*.*"};
    if (s.writeUncompressed) return {"wav", "pcm files (*.wav)|*.wav|All files (*.*)|*.*"};
    return {"mp3", "mp3 Files (*.mp3)|*.mp3|All files (*.*)|*.*"};
}

std::string ProposedBrowseName(const std::string& memberText, const std::string& outputFolder,
                               const std::string& programFolder) {
    std::string name = memberText;
    if (outputFolder != programFolder) {
        // The entry holds a full path; show only its file name.
        if (name.compare(0, outputFolder.size(), outputFolder) == 0)
            name = name.substr(outputFolder.size());
        else
            name = NamePart(name);
    }
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::string BrowseStartFolder(const std::string& outputFolder, const std::string& programFolder) {
    struct stat st {};
    if (!outputFolder.empty() && ::stat(outputFolder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return WithoutTrailingSlash(outputFolder);
    return WithoutTrailingSlash(programFolder);
}

OutputNameResult ApplyBrowsedPath(const std::string& chosenPath, const std::string& memberText,
                                  const std::string& programFolder) {
    OutputNameResult r = Resolve(TrimSpace(chosenPath), programFolder);
    if (!Fits(r)) return Refused(r, r.boxText, memberText);
    if (r.outputFolder == programFolder) r.boxText = r.memberText = r.outputFileName;
    return r;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    std::string h = home && *home ? home : "/";
    if (h.back() != '/') h += '/';
    return h;
}

}  // namespace pelmora
