// The fuzz targets replayed on what the project keeps: the seed corpus, every input that
// once failed (tests/fuzz/regressions), the game's own image, and pseudo-random cartridge
// images and settings files.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "nes/rom_data.h"

namespace vekfuzz {
void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }
}  // namespace vekfuzz

namespace {

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> files;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// one input through a target, its log lines kept out of the test's output
std::string run(vekfuzz::TargetFunction target, const std::string& bytes) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    std::string why = target((const uint8_t*)bytes.data(), bytes.size());
    testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    return why;
}

class FuzzCorpus : public ::testing::TestWithParam<vekfuzz::Target> {};

TEST_P(FuzzCorpus, SeedsAndFormerFindingsPass) {
    const vekfuzz::Target& target = GetParam();
    int replayed = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        for (const std::string& file : filesIn(std::string(VEK_FUZZ_DIR) + "/" + kind + "/" + target.name)) {
            EXPECT_EQ(run(target.run, readFile(file)), "") << file;
            replayed++;
        }
    }
    EXPECT_GT(replayed, 0) << "no kept inputs for " << target.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus,
                         ::testing::ValuesIn(vekfuzz::TARGETS, vekfuzz::TARGETS + vekfuzz::NUM_TARGETS),
                         [](const ::testing::TestParamInfo<vekfuzz::Target>& info) {
                             return std::string(info.param.name);
                         });

TEST(FuzzCorpusConsole, TheGameAndRandomImagesRun) {
    EXPECT_EQ(run(vekfuzz::runConsole, std::string((const char*)vek::ROM_DATA, sizeof(vek::ROM_DATA))), "");
    for (unsigned seed = 1; seed <= 16; seed++) {
        std::mt19937 random(seed);
        std::string image(40960, 0);
        for (char& b : image) b = (char)random();
        EXPECT_EQ(run(vekfuzz::runConsole, image), "") << "seed " << seed;
    }
}

// pseudo-random bytes with plenty of '=', '-', digits and line feeds, some lines headed by keys
TEST(FuzzCorpusSettings, RandomFilesRoundTrip) {
    const char* keys[] = {"windowViewportW=", "windowViewportH=", "overscanTop=", "overscanBottom=",
                          "zoom=", "musicVolume=", "joystickAxisThreshold=", "borderColor=",
                          "vsync=", "player1ControlLeft=", "fullscreen="};
    for (unsigned seed = 1; seed <= 20; seed++) {
        std::string text;
        unsigned x = seed * 2654435761u;
        for (int i = 0; i < 20000; i++) {
            x = x * 1103515245u + 12345u;
            unsigned r = (x >> 16) & 0xff;
            if (r < 8) text += keys[(x >> 8) % 11];
            else if (r < 24) text += '\n';
            else if (r < 32) text += '=';
            else if (r < 40) text += '-';
            else if (r < 56) text += (char)('0' + (x >> 4) % 10);
            else text += (char)((x >> 3) & 0xff);
        }
        EXPECT_EQ(run(vekfuzz::runSettings, text), "") << "seed " << seed;
    }
}

}  // namespace
