#include "app/paths.h"

#include <cstdlib>

namespace kestle::app {

std::string folderText(const std::filesystem::path& dir) {
    std::string s = dir.string();
    if (s.empty() || s.back() != '/')
        s += '/';
    return s;
}

Paths defaultPaths(const std::filesystem::path& executableDir) {
    Paths p;
    p.appDir = executableDir;
#ifdef _WIN32
    p.dataDir = "c:\\Vantic_Data\\";
    p.userList = "c:\\list.txt";
#else
    const char* home = std::getenv("HOME");
    std::filesystem::path h = home && *home ? home : ".";
    p.dataDir = h / "Vantic_Data";
    p.userList = h / "list.txt";
#endif
    return p;
}

} // namespace kestle::app
