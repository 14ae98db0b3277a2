// The data tools: each, run into an empty folder, writes exactly the files
// that are committed, byte for byte (the tools are deterministic, and the
// committed data is what they make); they fail cleanly on bad arguments.
// Also the window icon's two forms, and the info page.
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "tests/data/data_fixture.h"

namespace {

using namespace data_test;
namespace fs = std::filesystem;

#include "resources/icon107_pixels.inc"

struct ToolCase {
    const char* tool;
    std::vector<std::string> folders;  // arguments, relative to the output root
    std::vector<std::string> files;    // what it writes, relative to the root
};

const std::vector<ToolCase>& Tools() {
    static const std::vector<ToolCase> tools = {
        {"make_course", {"data", "docs"}, {"data/course.txt", "docs/course.png"}},
        {"make_meshes",
         {"data/media"},
         {"data/media/Holz.x", "data/media/Gras.x", "data/media/Stein.x", "data/media/Wasser.x",
          "data/media/Metall.x", "data/media/Start.x", "data/media/f1.x", "data/media/skybox2.x"}},
        {"make_textures",
         {"data/media"},
         {"data/media/holz.jpg", "data/media/gras.jpg", "data/media/stein.png", "data/media/wasser.jpg",
          "data/media/metall.png", "data/media/start.png", "data/media/himmel.jpg", "data/media/himmel_oben.jpg",
          "data/media/lack.png", "data/media/reifen.png", "data/media/teile.png"}},
        {"make_sounds",
         {"data/media"},
         {"data/media/race_hintergrund.wav", "data/media/race_boxenluder.wav", "data/media/race_hupe.wav",
          "data/media/race_crash.wav"}},
        {"make_icon",
         {"resources"},
         {"resources/icon107.png", "resources/icon107_pixels.inc", "resources/hicolor/16x16/apps/tarvik3d.png",
          "resources/hicolor/22x22/apps/tarvik3d.png", "resources/hicolor/24x24/apps/tarvik3d.png",
          "resources/hicolor/32x32/apps/tarvik3d.png", "resources/hicolor/48x48/apps/tarvik3d.png",
          "resources/hicolor/64x64/apps/tarvik3d.png", "resources/hicolor/128x128/apps/tarvik3d.png",
          "resources/hicolor/256x256/apps/tarvik3d.png"}},
    };
    return tools;
}

std::string ToolPath(const std::string& tool) { return std::string(TARVIK_BINARY_DIR) + "/" + tool; }

// Runs a command line, output dropped; returns its exit status (-1 if it
// did not exit normally).
int RunCommand(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("tarvik_data_tools_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    static void RequireTool(const std::string& tool) {
        ASSERT_TRUE(fs::is_regular_file(ToolPath(tool)))
            << ToolPath(tool) << " is not built: build the tool targets with the tests";
    }

    fs::path root;
};

TEST_F(ToolsTest, EachToolWritesExactlyTheCommittedFiles) {
    for (const ToolCase& t : Tools()) {
        SCOPED_TRACE(t.tool);
        RequireTool(t.tool);
        const fs::path out = root / t.tool;
        std::string command = Quoted(ToolPath(t.tool));
        for (const std::string& folder : t.folders) {
            command += " " + Quoted((out / folder).string());
        }
        ASSERT_EQ(RunCommand(command), 0) << command;
        std::set<std::string> written;
        for (const auto& entry : fs::recursive_directory_iterator(out)) {
            if (entry.is_regular_file()) {
                written.insert(fs::relative(entry.path(), out).string());
            }
        }
        EXPECT_EQ(written, std::set<std::string>(t.files.begin(), t.files.end()));
        for (const std::string& file : t.files) {
            const auto made = ReadBytes((out / file).string());
            const auto committed = ReadBytes(SourcePath(file));
            EXPECT_FALSE(made.empty()) << file;
            EXPECT_TRUE(made == committed) << file << " differs from what " << t.tool << " makes now";
        }
    }
}

TEST_F(ToolsTest, EverythingInTheMediaFolderIsMadeByATool) {
    std::set<std::string> made;
    for (const ToolCase& t : Tools()) {
        made.insert(t.files.begin(), t.files.end());
    }
    for (const auto& entry : fs::directory_iterator(DataPath("media"))) {
        EXPECT_TRUE(made.count("data/media/" + entry.path().filename().string())) << entry.path();
    }
}

TEST_F(ToolsTest, ToolsFailCleanlyOnBadArguments) {
    // A regular file where a folder should be created.
    const fs::path blocker = root / "file";
    { std::ofstream(blocker) << "x"; }
    for (const ToolCase& t : Tools()) {
        SCOPED_TRACE(t.tool);
        RequireTool(t.tool);
        EXPECT_EQ(RunCommand(Quoted(ToolPath(t.tool))), 2) << "no arguments: usage";
        std::string command = Quoted(ToolPath(t.tool));
        for (size_t i = 0; i < t.folders.size(); ++i) {
            command += " " + Quoted((blocker / "sub").string());
        }
        EXPECT_EQ(RunCommand(command), 1) << "an output folder that cannot be made";
    }
}

TEST(Icon, TheCompiledPixelsAreThePicture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const std::string path = SourcePath("resources/icon107.png");
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
    EXPECT_EQ(image.width, 32u);
    EXPECT_EQ(image.height, 32u);
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
    ASSERT_EQ(pixels.size(), sizeof kIcon107Pixels);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), kIcon107Pixels));
    // A shape on a see-through background.
    int clear = 0, solid = 0;
    for (size_t i = 3; i < pixels.size(); i += 4) {
        clear += pixels[i] == 0;
        solid += pixels[i] == 255;
    }
    EXPECT_GT(clear, 100);
    EXPECT_GT(solid, 200);
}

TEST(InfoPage, IsAWholePageWithNothingFromOutside) {
    const std::string page = ReadText(DataPath("info/tarvik3d.html"));
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("</html>"), std::string::npos);
    EXPECT_NE(page.find("<title>Tarvik 3D</title>"), std::string::npos);
    for (const char* outside : {"http:", "https:", "//", "src=", "<link", "@import", "<script"}) {
        EXPECT_EQ(page.find(outside), std::string::npos) << outside;
    }
}

}  // namespace
