// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the program keeps its files. Decided once at start-up; everything else asks the
// result instead of looking at the executable's folder itself.

#include <functional>
#include <string>
#include <vector>

namespace pelmora {

/// Every folder ends with "/".
struct ProgramPaths {
    std::string executableFolder;  // folder of the running executable
    /// Holds pelmora.ini and pelmora.log and is the working folder: the executable's folder
    /// when the user may write there and the program is not installed, else the per-user
    /// folder $XDG_CONFIG_HOME/pelmora/.
    std::string programFolder;
    /// The default output folder: the program folder, or the user's music folder when the
    /// program folder is the per-user one.
    std::string outputFolder;
    /// The program's icons; empty when none was found.
    std::string dataFolder;
    bool perUser = false;
    /// Why the per-user folder could not be made; empty when all is well.
    std::string problem;

    /// All three roles in one folder (a portable copy, the build folder, the tests).
    static ProgramPaths InFolder(const std::string& folder);
    /// Folders searched for the encoder after its configured path: beside the executable,
    /// then the program folder; each once.
    std::vector<std::string> EncoderFolders() const;
};

/// What the decision reads from the system.
struct PathEnvironment {
    std::string executablePath;  // /proc/self/exe
    std::string home;            // $HOME, else the password database
    std::string xdgConfigHome;   // $XDG_CONFIG_HOME
    std::string xdgMusicDir;     // $XDG_MUSIC_DIR
    /// What `xdg-user-dir MUSIC` prints; empty when it cannot be run.
    std::function<std::string()> userMusicDir;
    /// Whether the user may create files in a folder; access(W_OK) when not set.
    std::function<bool(const std::string&)> mayWrite;

    static PathEnvironment FromProcess();
};

/// Decides the folders and creates the per-user folder when it is used.
ProgramPaths DecideProgramPaths(const PathEnvironment& env);

/// The decision for this process, made on the first call.
const ProgramPaths& CurrentProgramPaths();

/// The program folder of this process (CurrentProgramPaths().programFolder).
std::string ProgramFolder();

/// Folder of the running executable with a trailing "/" (from /proc/self/exe).
std::string ExecutableFolder();

/// Folder with the program's icons for an executable in `executableFolder`:
/// ../share/pelmora/ when installed, share/pelmora/ beside it in the build folder or a
/// portable copy; empty when neither exists.
std::string DataFolderFor(const std::string& executableFolder);

/// Folder part of a path, with its trailing "/"; empty when the path has none.
std::string FolderOf(const std::string& path);

}  // namespace pelmora
