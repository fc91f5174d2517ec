// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the application keeps its files. Messages that name a path name the
// one in use.
#include <filesystem>
#include <string>

namespace kestle::app {

struct Paths {
    std::filesystem::path appDir;   // Kestle.ini
    std::filesystem::path dataDir;  // logs and captures
    std::filesystem::path userList; // the user word list
    // BOX.BMP and the manual; empty: the application folder.
    std::filesystem::path assetDir = {};

    std::filesystem::path settingsFile() const { return appDir / "Kestle.ini"; }
    std::filesystem::path assets() const { return assetDir.empty() ? appDir : assetDir; }
    std::filesystem::path manual() const { return assets() / "Vantic_Kestle.pdf"; }
    std::filesystem::path overlayPicture() const { return assets() / "BOX.BMP"; }
};

// Data folder as the program shows it, with its trailing separator.
std::string folderText(const std::filesystem::path& dir);

// What the default folders depend on; environment values are empty when unset.
struct PathFacts {
    std::filesystem::path executableDir;
    bool executableDirWritable = false;
    bool installedAssets = false; // installedAssetDir(executableDir) holds BOX.BMP
    std::string xdgConfigHome;
    std::string home;
};

// <prefix>/share/kestle for an executable in <prefix>/bin.
std::filesystem::path installedAssetDir(const std::filesystem::path& executableDir);

// A build folder (writable, nothing installed beside it) keeps everything
// beside the executable. An installed copy keeps Kestle.ini in
// $XDG_CONFIG_HOME/kestle (else $HOME/.config/kestle) and reads BOX.BMP and
// the manual from <prefix>/share/kestle, or from the executable's folder when
// they were not installed there. The data folder is $HOME/Vantic_Data/, the
// user word list $HOME/list.txt.
Paths choosePaths(const PathFacts& facts);

// choosePaths with this machine's facts (environment, file system).
Paths defaultPaths(const std::filesystem::path& executableDir);

} // namespace kestle::app
