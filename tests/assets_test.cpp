// The soundtrack the build writes into the game directory: every file the player's tables
// name, decoded by Allegro, of a sensible length and loudness, with seamless loops.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "audio_support.h"
#include "nes/vek_apu.h"

using vek::nes::MUSIC_INFO;
using vek::nes::NUM_MUSIC;
using vek::nes::NUM_SFX;
using vek::nes::SFX_INFO;

namespace {

std::string gamePath(const char* file) { return std::string(VEK_GAME_DIR) + "/" + file; }

struct Decoded {
    std::vector<float> s;
    unsigned int rate = 0;
    double seconds() const { return rate ? (double)s.size() / rate : 0; }
};

bool decode(const char* file, Decoded& d) {
    ALLEGRO_SAMPLE* spl = al_load_sample(gamePath(file).c_str());
    if (!spl) return false;
    d.rate = al_get_sample_frequency(spl);
    d.s = vektest::sampleFrames(spl);
    al_destroy_sample(spl);
    return !d.s.empty();
}

double maxStep(const std::vector<float>& s, size_t from, size_t to) {
    double m = 0;
    for (size_t i = from + 1; i < to && i < s.size(); i++) m = std::max(m, (double)std::fabs(s[i] - s[i - 1]));
    return m;
}

double maxBend(const std::vector<float>& s, size_t from, size_t to) {
    double m = 0;
    for (size_t i = from + 2; i < to && i < s.size(); i++)
        m = std::max(m, (double)std::fabs(s[i] - 2 * s[i - 1] + s[i - 2]));
    return m;
}

class Assets : public testing::Test {
protected:
    void SetUp() override {
        if (!vektest::installAudio()) GTEST_SKIP() << "no Allegro audio on this machine";
    }
    void TearDown() override { vektest::uninstallAudio(); }
};

}  // namespace

TEST_F(Assets, EveryEffectIsAShortAudibleSound) {
    for (int i = 0; i < NUM_SFX; i++) {
        SCOPED_TRACE(SFX_INFO[i].filename);
        struct stat st;
        ASSERT_EQ(stat(gamePath(SFX_INFO[i].filename).c_str(), &st), 0);
        Decoded d;
        ASSERT_TRUE(decode(SFX_INFO[i].filename, d));
        EXPECT_GE(d.seconds(), 0.08);
        EXPECT_LE(d.seconds(), 1.5);
        double level = vektest::rms(d.s);
        EXPECT_GT(level, 0.03);
        // not clipped, and no click where the sample ends and the voice falls silent
        double peak = 0;
        for (float x : d.s) peak = std::max(peak, (double)std::fabs(x));
        EXPECT_LT(peak, 0.99);
        EXPECT_LT(std::fabs(d.s.back()), 0.01);
    }
}

TEST_F(Assets, EveryTrackDecodesWithALengthFitForItsUse) {
    for (int t = 0; t < NUM_MUSIC; t++) {
        SCOPED_TRACE(MUSIC_INFO[t].filename);
        Decoded d;
        ASSERT_TRUE(decode(MUSIC_INFO[t].filename, d));
        if (!MUSIC_INFO[t].loop) {
            // the floor-clear fanfare: a few seconds, then silence
            EXPECT_GE(d.seconds(), 2.0);
            EXPECT_LE(d.seconds(), 10.0);
            EXPECT_LT(vektest::rms(d.s, d.s.size() - d.rate / 50), 0.01);
        } else if (MUSIC_INFO[t].loopStart > 0) {
            // runs up to its loop end, and at most a little past it
            EXPECT_GE(d.seconds(), MUSIC_INFO[t].loopEnd);
            EXPECT_LE(d.seconds(), MUSIC_INFO[t].loopEnd + 1.0);
        } else {
            EXPECT_GE(d.seconds(), 25.0);
            EXPECT_LE(d.seconds(), 70.0);
        }
        EXPECT_GT(vektest::rms(d.s), 0.05);
        // every stretch of ten seconds has music in it
        for (size_t at = 0; at + 10 * d.rate <= d.s.size(); at += 10 * d.rate)
            EXPECT_GT(vektest::rms(d.s, at, at + 10 * d.rate), 0.03) << "at " << at / d.rate << " s";
    }
}

TEST_F(Assets, LoopPointsFallOnWholeSamples) {
    for (int t = 0; t < NUM_MUSIC; t++) {
        if (MUSIC_INFO[t].loopStart <= 0) continue;
        SCOPED_TRACE(MUSIC_INFO[t].filename);
        Decoded d;
        ASSERT_TRUE(decode(MUSIC_INFO[t].filename, d));
        double a = MUSIC_INFO[t].loopStart * d.rate, b = MUSIC_INFO[t].loopEnd * d.rate;
        EXPECT_NEAR(a, std::round(a), 1e-6);
        EXPECT_NEAR(b, std::round(b), 1e-6);
    }
}

// Tracks with an intro: the file goes on past the loop end with what follows the loop start,
// so jumping back is inaudible. Comparing the two stretches sample by sample shows it.
TEST_F(Assets, LoopRegionsJoinSeamlessly) {
    for (int t = 0; t < NUM_MUSIC; t++) {
        if (!MUSIC_INFO[t].loop || MUSIC_INFO[t].loopStart <= 0) continue;
        SCOPED_TRACE(MUSIC_INFO[t].filename);
        Decoded d;
        ASSERT_TRUE(decode(MUSIC_INFO[t].filename, d));
        size_t s = (size_t)std::llround(MUSIC_INFO[t].loopStart * d.rate);
        size_t e = (size_t)std::llround(MUSIC_INFO[t].loopEnd * d.rate);
        ASSERT_LT(e, d.s.size());
        const size_t N = 4096;

        // the jump itself: from the last sample before the end to the loop start is a step
        // like those around it, in value and in slope
        double step = std::fabs(d.s[s] - d.s[e - 1]);
        double localStep = std::max(maxStep(d.s, e - N, e), maxStep(d.s, s, s + N));
        EXPECT_LE(step, 1.25 * localStep + 0.01);
        double bend = std::fabs((d.s[s + 1] - d.s[s]) - (d.s[e - 1] - d.s[e - 2]));
        double localBend = std::max(maxBend(d.s, e - N, e), maxBend(d.s, s, s + N));
        EXPECT_LE(bend, 1.25 * localBend + 0.01);

        // what the file holds after the end is what the loop start holds
        if (e + N <= d.s.size()) {
            double diff = 0, sig = 0;
            for (size_t i = 0; i < N; i++) {
                diff += std::pow(d.s[e + i] - d.s[s + i], 2.0);
                sig += std::pow(d.s[s + i], 2.0);
            }
            EXPECT_LT(std::sqrt(diff / N), 0.1 * std::sqrt(sig / N));
            EXPECT_GT(std::sqrt(sig / N), 0.02);
        }
    }
}

// Tracks that loop whole: the last sample runs into the first.
TEST_F(Assets, WholeFileLoopsJoinSeamlessly) {
    for (int t = 0; t < NUM_MUSIC; t++) {
        if (!MUSIC_INFO[t].loop || MUSIC_INFO[t].loopStart > 0) continue;
        SCOPED_TRACE(MUSIC_INFO[t].filename);
        Decoded d;
        ASSERT_TRUE(decode(MUSIC_INFO[t].filename, d));
        const size_t n = d.s.size(), N = 4096;
        ASSERT_GT(n, 2 * N);
        double step = std::fabs(d.s[0] - d.s[n - 1]);
        double localStep = std::max(maxStep(d.s, n - N, n), maxStep(d.s, 0, N));
        EXPECT_LE(step, 1.25 * localStep + 0.01);
        double bend = std::fabs((d.s[1] - d.s[0]) - (d.s[n - 1] - d.s[n - 2]));
        double localBend = std::max(maxBend(d.s, n - N, n), maxBend(d.s, 0, N));
        EXPECT_LE(bend, 1.25 * localBend + 0.01);
    }
}
