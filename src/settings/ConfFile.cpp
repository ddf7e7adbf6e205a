// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ConfFile.h"

#include <glib.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "recording/LogSink.h"
#include "settings/SettingsFile.h"

namespace pelmora {

struct ConfFile::Data {
    GKeyFile* keys = g_key_file_new();
    ~Data() { g_key_file_free(keys); }
};

namespace {

constexpr GKeyFileFlags kKeepAll = static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);

std::string TakeMessage(GError* error) {
    std::string text = error && error->message ? error->message : "unknown error";
    if (error) g_error_free(error);
    return text;
}

}  // namespace

ConfFile::ConfFile(std::string path, LogSink& log) : path_(std::move(path)), log_(log), data_(std::make_unique<Data>()) {
    GError* error = nullptr;
    if (g_key_file_load_from_file(data_->keys, path_.c_str(), kKeepAll, &error)) return;
    if (g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT)) {
        g_error_free(error);
        return;  // a first start
    }
    const std::string reason = TakeMessage(error);
    g_key_file_free(data_->keys);
    data_->keys = g_key_file_new();
    // Kept for the user: the next save would otherwise replace it.
    const std::string kept = path_ + ".bad";
    const bool moved = ::rename(path_.c_str(), kept.c_str()) == 0;
    log_.AddLogLine("WARNING: " + FileNameOf(path_) + " cannot be read (" + reason + "), using defaults" +
                    (moved ? "; the file is kept as " + FileNameOf(kept) : std::string()));
}

ConfFile::~ConfFile() = default;

std::string ConfFile::Text(const ConfKey& key, const std::string& fallback) const {
    gchar* value = g_key_file_get_string(data_->keys, key.group, key.key, nullptr);
    if (value == nullptr) return fallback;
    std::string text = value;
    g_free(value);
    return text;
}

int ConfFile::Number(const ConfKey& key, int fallback, int minimum, int maximum) {
    gchar* value = g_key_file_get_value(data_->keys, key.group, key.key, nullptr);
    if (value == nullptr) return fallback;
    const std::string raw = value;
    g_free(value);
    errno = 0;
    char* end = nullptr;
    const long number = std::strtol(raw.c_str(), &end, 10);
    const bool whole = !raw.empty() && end && *end == '\0' && errno == 0;
    if (whole && number >= minimum && number <= maximum) return static_cast<int>(number);
    log_.AddLogLine("WARNING: " + FileNameOf(path_) + ": [" + key.group + "] " + key.key + "=" + raw + " is " +
                    (whole ? "out of range " + std::to_string(minimum) + ".." + std::to_string(maximum)
                           : std::string("not a whole number")) +
                    ", using " + std::to_string(fallback));
    SetNumber(key, fallback);
    return fallback;
}

void ConfFile::SetText(const ConfKey& key, const std::string& value) {
    g_key_file_set_string(data_->keys, key.group, key.key, value.c_str());
}

void ConfFile::SetNumber(const ConfKey& key, int value) {
    g_key_file_set_integer(data_->keys, key.group, key.key, value);
}

void ConfFile::Remove(const ConfKey& key) {
    g_key_file_remove_key(data_->keys, key.group, key.key, nullptr);
}

bool ConfFile::Save(std::string* error) {
    gsize length = 0;
    gchar* text = g_key_file_to_data(data_->keys, &length, nullptr);
    GError* failure = nullptr;
    // A temporary file in the same folder, renamed over the old one.
    const bool ok = g_file_set_contents(path_.c_str(), text ? text : "", static_cast<gssize>(length), &failure);
    g_free(text);
    if (!ok) {
        const std::string reason = TakeMessage(failure);
        if (error) *error = reason;
        return false;
    }
    return true;
}

}  // namespace pelmora
