// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsFile.h"

#include <fcntl.h>
#include <md5.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "recording/LogSink.h"
#include "settings/FileIo.h"

namespace pelmora {

std::string SettingsDigest(const RecSettings& s) {
    MD5_CTX ctx;
    MD5Init(&ctx);
    MD5Update(&ctx, reinterpret_cast<const uint8_t*>(&s), sizeof s);
    uint8_t digest[MD5_DIGEST_LENGTH];
    MD5Final(digest, &ctx);
    static const char hex[] = "0123456789abcdef";
    std::string text(2 * MD5_DIGEST_LENGTH, '0');
    for (int i = 0; i < MD5_DIGEST_LENGTH; ++i) {
        text[2 * i] = hex[digest[i] >> 4];
        text[2 * i + 1] = hex[digest[i] & 0xF];
    }
    return text;
}

std::string FileNameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PresetSavePath(const std::string& chosenPath) {
    return FileNameOf(chosenPath).find('.') == std::string::npos ? chosenPath + ".pmr" : chosenPath;
}

std::string ReplaceFileQuestion(const std::string& path) {
    return FileNameOf(path) + " already exists.\nDo you want to replace it?";
}

namespace {

// Opens a settings file for reading and writing. A file nobody may write counts as
// unreadable, also for a user whom the system would let write it anyway.
int OpenSettingsFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 ||
        st.st_size != static_cast<off_t>(kSettingsFileSize)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether the open file is the one at `path` (the same file, not merely the same name).
bool IsSameFile(int fd, const std::string& path) {
    struct stat open {}, named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

void LoadDefaults(RecSettings& s, const std::string& path, const std::string& outputFolder, LogSink& log) {
    RecSettings defaults = s;  // bytes after the terminators stay as they were
    SetDefaultSettings(defaults, outputFolder);
    WriteSettingsFile(path, defaults);
    s = defaults;
    log.AddLogLine("Default preset loaded");
}

}  // namespace

bool WriteSettingsFile(const std::string& path, const RecSettings& s, std::string* error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    if (ok) {
        std::string digest = SettingsDigest(s);
        ok = WriteAll(fd, &s, sizeof s) && WriteAll(fd, digest.c_str(), digest.size() + 1);
    }
    int savedErrno = errno;
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok && error) *error = std::strerror(savedErrno);
    return ok;
}

void LoadSettings(RecSettings& s, const std::string& path, const std::string& programFolder, LogSink& log,
                  const std::string& defaultOutputFolder) {
    const std::string iniPath = programFolder + "pelmora.ini";
    const std::string& outputFolder = defaultOutputFolder.empty() ? programFolder : defaultOutputFolder;
    int fd = OpenSettingsFile(path);
    if (fd >= 0) {
        // Other threads read the live record: it gets only checked values, in one copy.
        RecSettings loaded;
        char digestText[kDigestTextBytes + 1] = {};
        bool readOk = ReadAll(fd, &loaded, sizeof loaded) && ReadAll(fd, digestText, kDigestTextBytes);
        const bool isIni = IsSameFile(fd, iniPath);
        ::close(fd);
        // Text up to the first zero byte; 33 bytes without one never match.
        std::string stored(digestText, ::strnlen(digestText, kDigestTextBytes));
        if (readOk && ::strcasecmp(stored.c_str(), SettingsDigest(loaded).c_str()) == 0 &&
            loaded.settingsVersion == kSettingsVersion) {
            // A crafted or newer file may pass its digest with values this version cannot use.
            std::string replaced = TerminateTextFields(loaded);
            const std::string numbers = ClampToValueLists(loaded);
            if (!replaced.empty() && !numbers.empty()) replaced += ", ";
            replaced += numbers;
            s = loaded;
            log.AddLogLine("Preset \"" + TextField(s.presetName) + "\" (" + FileNameOf(path) + ") loaded");
            if (!replaced.empty()) log.AddLogLine("WARNING: Out-of-range settings replaced by defaults: " + replaced);
            return;
        }
        // Only the settings file itself is replaced by defaults, whatever the spelling of its
        // path; a file whose name merely looks like it is a preset.
        if (isIni) {
            log.AddLogLine("ERROR:   ini file is corrupted or version mismatch. Loading defaults...");
            LoadDefaults(s, iniPath, outputFolder, log);
            return;
        }
        log.AddLogLine("ERROR:   Preset file is corrupted or version mismatch. Loading ini...");
        LoadSettings(s, iniPath, programFolder, log, defaultOutputFolder);
        return;
    }
    if (path == iniPath) {
        // A first start has no settings file yet: nothing failed, only the defaults are reported.
        struct stat st {};
        const bool missing = ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
        if (!missing) log.AddLogLine("ERROR:   ini load failed. Loading defaults...");
        LoadDefaults(s, path, outputFolder, log);
        return;
    }
    log.AddLogLine("ERROR:   Preset (" + FileNameOf(path) + ") load failed. Loading ini");
    LoadSettings(s, iniPath, programFolder, log, defaultOutputFolder);
}

}  // namespace pelmora
