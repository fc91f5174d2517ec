// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "app/paths.h"
#include "fakes/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kestle::app {
namespace {

TEST(Paths, ABuildFolderKeepsEverythingBesideItAndAnInstalledCopyUsesConfigAndShare) {
    PathFacts f{"/usr/bin", true, false, "/x/config", "/home/ann"};
    EXPECT_EQ(choosePaths(f).settingsFile(), "/usr/bin/Kestle.ini");
    EXPECT_EQ(choosePaths(f).overlayPicture(), "/usr/bin/BOX.BMP");
    EXPECT_EQ(choosePaths(f).dataDir, "/home/ann/Vantic_Data");
    // Not writable, or writable by root: the installed files decide.
    for (bool writable : {false, true}) {
        f.executableDirWritable = writable;
        f.installedAssets = true;
        const Paths p = choosePaths(f);
        EXPECT_EQ(p.settingsFile(), "/x/config/kestle/Kestle.ini") << writable;
        EXPECT_EQ(p.overlayPicture(), "/usr/share/kestle/BOX.BMP") << writable;
        EXPECT_EQ(p.manual(), "/usr/share/kestle/Vantic_Kestle.pdf") << writable;
    }
    for (const char* xdg : {"", "relative/config"}) {
        f.xdgConfigHome = xdg;
        EXPECT_EQ(choosePaths(f).appDir, "/home/ann/.config/kestle") << xdg;
    }
    // A read-only copy without installed files finds them beside it.
    f.executableDirWritable = f.installedAssets = false;
    EXPECT_EQ(choosePaths(f).appDir, "/home/ann/.config/kestle");
    EXPECT_EQ(choosePaths(f).manual(), "/usr/bin/Vantic_Kestle.pdf");
}

TEST(Paths, TheFileSystemTellsAnInstalledCopyAndAppDirOverridesBoth) {
    test::TempFolder tmp;
    const auto bin = tmp.path() / "bin";
    std::filesystem::create_directories(bin);
    EXPECT_EQ(defaultPaths(bin).appDir, bin);
    std::filesystem::create_directories(tmp.path() / "share/kestle");
    std::ofstream(tmp.path() / "share/kestle/BOX.BMP") << "BM";
    EXPECT_EQ(defaultPaths(bin).appDir.filename(), "kestle");
    EXPECT_EQ(defaultPaths(bin).overlayPicture(), tmp.path() / "share/kestle/BOX.BMP");

    Options o;
    o.appDir = "/a";
    EXPECT_EQ(resolvePaths(o, bin).settingsFile(), "/a/Kestle.ini");
    EXPECT_EQ(resolvePaths(o, bin).overlayPicture(), "/a/BOX.BMP");
}

} // namespace
} // namespace kestle::app
