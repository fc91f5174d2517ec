#pragma once
// Where the application keeps its files. Messages that name a path name the
// one in use.
#include <filesystem>
#include <string>

namespace kestle::app {

struct Paths {
    std::filesystem::path appDir;   // Kestle.ini, BOX.BMP, the manual
    std::filesystem::path dataDir;  // logs and captures
    std::filesystem::path userList; // the user word list

    std::filesystem::path settingsFile() const { return appDir / "Kestle.ini"; }
    std::filesystem::path manual() const { return appDir / "Vantic_Kestle.pdf"; }
    std::filesystem::path overlayPicture() const { return appDir / "BOX.BMP"; }
};

// Data folder as the program shows it, with its trailing separator.
std::string folderText(const std::filesystem::path& dir);

// Platform defaults: the executable's folder, $HOME/Vantic_Data/, $HOME/list.txt.
Paths defaultPaths(const std::filesystem::path& executableDir);

} // namespace kestle::app
