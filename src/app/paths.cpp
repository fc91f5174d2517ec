// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/paths.h"

#include <cstdlib>
#include <unistd.h>

namespace kestle::app {

namespace fs = std::filesystem;

std::string folderText(const fs::path& dir) {
    std::string s = dir.string();
    if (s.empty() || s.back() != '/')
        s += '/';
    return s;
}

fs::path installedAssetDir(const fs::path& executableDir) {
    return executableDir.parent_path() / "share" / "kestle";
}

Paths choosePaths(const PathFacts& f) {
    Paths p;
    const fs::path home = f.home.empty() ? fs::path(".") : fs::path(f.home);
#ifdef _WIN32
    p.dataDir = "c:\\Vantic_Data\\";
    p.userList = "c:\\list.txt";
#else
    p.dataDir = home / "Vantic_Data";
    p.userList = home / "list.txt";
#endif
    // Root may write in /usr/bin: the installed files tell an installed copy
    // from a build folder as well as the folder's permissions do.
    if (f.executableDirWritable && !f.installedAssets) {
        p.appDir = f.executableDir;
        return p;
    }
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG base
    // directory rules say.
    const fs::path config = !f.xdgConfigHome.empty() && fs::path(f.xdgConfigHome).is_absolute()
                                ? fs::path(f.xdgConfigHome)
                                : home / ".config";
    p.appDir = config / "kestle";
    p.assetDir = f.installedAssets ? installedAssetDir(f.executableDir) : f.executableDir;
    return p;
}

Paths defaultPaths(const fs::path& executableDir) {
    auto env = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string(v ? v : "");
    };
    PathFacts f;
    f.executableDir = executableDir;
    f.executableDirWritable = ::access(executableDir.c_str(), W_OK | X_OK) == 0;
    std::error_code ec;
    f.installedAssets = fs::is_regular_file(installedAssetDir(executableDir) / "BOX.BMP", ec);
    f.xdgConfigHome = env("XDG_CONFIG_HOME");
    f.home = env("HOME");
    return choosePaths(f);
}

} // namespace kestle::app
