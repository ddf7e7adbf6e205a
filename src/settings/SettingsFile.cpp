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

void LoadDefaults(RecSettings& s, const std::string& path, const std::string& outputFolder, LogSink& log) {
    SetDefaultSettings(s, outputFolder);
    WriteSettingsFile(path, s);
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
        char digestText[kDigestTextBytes + 1] = {};
        bool readOk = ReadAll(fd, &s, sizeof s) && ReadAll(fd, digestText, kDigestTextBytes);
        ::close(fd);
        // Text up to the first zero byte; 33 bytes without one never match.
        std::string stored(digestText, ::strnlen(digestText, kDigestTextBytes));
        if (readOk && ::strcasecmp(stored.c_str(), SettingsDigest(s).c_str()) == 0 &&
            s.settingsVersion == kSettingsVersion) {
            // A crafted or newer file may pass its digest with values this version cannot use.
            TerminateTextFields(s);
            std::string replaced = ClampToValueLists(s);
            log.AddLogLine("Preset \"" + TextField(s.presetName) + "\" (" + FileNameOf(path) + ") loaded");
            if (!replaced.empty()) log.AddLogLine("WARNING: Out-of-range settings replaced by defaults: " + replaced);
            return;
        }
        if (::strcasecmp(path.c_str(), iniPath.c_str()) == 0) {
            log.AddLogLine("ERROR:   ini file is corrupted or version mismatch. Loading defaults...");
            LoadDefaults(s, path, outputFolder, log);
            return;
        }
        log.AddLogLine("ERROR:   Preset file is corrupted or version mismatch. Loading ini...");
        LoadSettings(s, iniPath, programFolder, log, defaultOutputFolder);
        return;
    }
    if (path == iniPath) {
        log.AddLogLine("ERROR:   ini load failed. Loading defaults...");
        LoadDefaults(s, path, outputFolder, log);
        return;
    }
    log.AddLogLine("ERROR:   Preset (" + FileNameOf(path) + ") load failed. Loading ini");
    LoadSettings(s, iniPath, programFolder, log, defaultOutputFolder);
}

}  // namespace pelmora
