// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// pelmora.conf: settings beyond the record of pelmora.ini, as a key file beside it. Groups
// and keys this program does not know are kept as they are; a value that is missing or
// cannot be read gives the caller's default, and a bad one is reported once and replaced
// by that default at the next save. Saving writes a new file and renames it over the old.

#include <memory>
#include <string>

namespace pelmora {

class LogSink;

/// Where a value lives: [group] key=value.
struct ConfKey {
    const char* group;
    const char* key;
};

class ConfFile {
public:
    /// Reads `path` when it exists. A file that is not a key file is reported on `log`
    /// and kept beside it as "<path>.bad"; the settings start empty.
    ConfFile(std::string path, LogSink& log);
    ~ConfFile();
    ConfFile(const ConfFile&) = delete;
    ConfFile& operator=(const ConfFile&) = delete;

    /// The text at `key`, or `fallback` when there is none.
    std::string Text(const ConfKey& key, const std::string& fallback) const;
    /// The whole number at `key` within [minimum, maximum], or `fallback` when there is none.
    /// A value that is no number or out of range is reported and replaced by `fallback`.
    int Number(const ConfKey& key, int fallback, int minimum, int maximum);
    void SetText(const ConfKey& key, const std::string& value);
    void SetNumber(const ConfKey& key, int value);
    /// Removes the key; nothing happens when it is not there.
    void Remove(const ConfKey& key);

    /// Writes the file atomically. On failure returns false with the reason in `error`;
    /// the file on disk is then the previous one.
    bool Save(std::string* error = nullptr);
    const std::string& Path() const { return path_; }

private:
    struct Data;
    std::string path_;
    LogSink& log_;
    std::unique_ptr<Data> data_;
};

}  // namespace pelmora
