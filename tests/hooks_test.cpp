// The sound-driver hooks, exercised by small programs on the real CPU: which targets they
// recognise, the two-step start of a music track, and the lines they log.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_audio.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "console_support.h"
#include "nes/hooks.h"
#include "nes/vek_apu.h"

using vektest::TestConsole;

namespace {

const unsigned int HOOKED[] = {0x91C9, 0x9100, 0x912E, 0x91C5, 0x91C8, 0x9208, 0x9215, 0x9230, 0x9232};

// A console whose sound-driver entry points are each a bare RTS, running a program at $C000.
class HookConsole : public TestConsole {
public:
    HookConsole() {
        for (unsigned int target : HOOKED) poke(target, {0x60});
        cpu->sp = 0xFF;
    }

    // runs the program until pc reaches `end`; returns what was logged to standard output
    std::string run(std::initializer_list<int> code) {
        program(0xC000, code);
        unsigned int end = 0xC000 + (unsigned int)code.size();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        for (int i = 0; i < 1000 && cpu->pc != end; i++) step();
        errors = testing::internal::GetCapturedStderr();
        return testing::internal::GetCapturedStdout();
    }

    std::string errors;  // what the player reported on standard error during run()
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(Hooks, PlayMusicIsRecordedAndStartedByTheStopEntry) {
    HookConsole console;
    console.nes->vekApu->fadeOut = 50;
    // LDA #3 / JSR $91C9 / JSR $9100
    std::string out = console.run({0xA9, 0x03, 0x20, 0xC9, 0x91, 0x20, 0x00, 0x91});
    EXPECT_EQ(out, "jsr-hook $91C9 (play music)\n");
    EXPECT_EQ(console.nes->hooks->pendingMusic, -1);
    // the player was asked for track 3: without sound files here it reports the track it tried
    EXPECT_TRUE(contains(console.errors, "Could not load music track 3 (music/dreamy.ogg)")) << console.errors;
    EXPECT_EQ(console.nes->vekApu->fadeOut, 0);
}

TEST(Hooks, PlayMusicEntryOnlyRecords) {
    HookConsole console;
    console.nes->vekApu->fadeOut = 50;
    std::string out = console.run({0xA9, 0x05, 0x20, 0xC9, 0x91});
    EXPECT_EQ(out, "jsr-hook $91C9 (play music)\n");
    EXPECT_EQ(console.nes->hooks->pendingMusic, 5);
    EXPECT_FALSE(contains(console.errors, "music track"));
    EXPECT_EQ(console.nes->vekApu->fadeOut, 50);
}

TEST(Hooks, StopEntryWithNothingRecordedStopsTheMusic) {
    HookConsole console;
    console.nes->vekApu->fadeOut = 50;
    std::string out = console.run({0x20, 0x00, 0x91});
    EXPECT_EQ(out, "jsr-hook $9100 (stop music)\n");
    EXPECT_EQ(console.nes->vekApu->fadeOut, 0);
    EXPECT_FALSE(contains(console.errors, "music track"));
}

TEST(Hooks, JumpToTheSecondStopEntryActsLikeACall) {
    HookConsole console;
    console.nes->vekApu->fadeOut = 9;
    // JMP $912E: its RTS returns to whatever is on the stack, so push $C005 - 1 first
    console.cpu->ram[0x1FF] = 0xC0;
    console.cpu->ram[0x1FE] = 0x04;
    console.cpu->sp = 0xFD;
    std::string out = console.run({0xEA, 0x4C, 0x2E, 0x91, 0xEA});
    EXPECT_EQ(out, "jsr-hook $912E (stop music)\n");
    EXPECT_EQ(console.nes->vekApu->fadeOut, 0);

    // and with a track recorded it starts it
    HookConsole second;
    second.cpu->ram[0x1FF] = 0xC0;
    second.cpu->ram[0x1FE] = 0x07;
    second.cpu->sp = 0xFD;
    out = second.run({0xA9, 0x01, 0x20, 0xC9, 0x91, 0x4C, 0x2E, 0x91});
    EXPECT_EQ(out, "jsr-hook $91C9 (play music)\n");
    EXPECT_TRUE(contains(second.errors, "Could not load music track 1 (music/heroic.ogg)")) << second.errors;
    EXPECT_EQ(second.nes->hooks->pendingMusic, -1);
}

TEST(Hooks, ASecondRecordOverwritesTheFirst) {
    HookConsole console;
    // LDA #1 / JSR $91C9 / LDA #2 / JSR $91C9 / JSR $9100
    std::string out =
        console.run({0xA9, 0x01, 0x20, 0xC9, 0x91, 0xA9, 0x02, 0x20, 0xC9, 0x91, 0x20, 0x00, 0x91});
    EXPECT_EQ(out, "jsr-hook $91C9 (play music)\njsr-hook $91C9 (play music)\n");
    EXPECT_TRUE(contains(console.errors, "music track 2 (music/spooky.ogg)")) << console.errors;
    EXPECT_FALSE(contains(console.errors, "music track 1"));
}

TEST(Hooks, AnUnknownTrackIsConsumedWithoutTouchingTheMusic) {
    HookConsole console;
    console.nes->vekApu->fadeOut = 7;
    std::string out = console.run({0xA9, 0x09, 0x20, 0xC9, 0x91, 0x20, 0x00, 0x91});
    EXPECT_EQ(out, "jsr-hook $91C9 (play music)\n");
    EXPECT_EQ(console.nes->hooks->pendingMusic, -1);
    EXPECT_EQ(console.nes->vekApu->fadeOut, 7);
    EXPECT_FALSE(contains(console.errors, "music track"));
}

TEST(Hooks, RecordSurvivesAConsoleReset) {
    HookConsole console;
    console.setVector(0xFFFC, 0xC000);
    console.run({0xA9, 0x04, 0x20, 0xC9, 0x91});
    console.nes->softReset();
    console.nes->hardReset();
    EXPECT_EQ(console.nes->hooks->pendingMusic, 4);
}

TEST(Hooks, FadePauseResumeAndLoopEntries) {
    HookConsole console;
    std::string out = console.run({0x20, 0xC5, 0x91});
    EXPECT_EQ(out, "jsr-hook $91C5 (fade out music)\n");
    EXPECT_EQ(console.nes->vekApu->fadeOut, 1);

    HookConsole pause;
    EXPECT_EQ(pause.run({0x20, 0x08, 0x92}), "jsr-hook $9208 (pause music)\n");
    HookConsole resume;
    EXPECT_EQ(resume.run({0x20, 0x15, 0x92}), "jsr-hook $9215 (resume music)\n");

    HookConsole loop;
    loop.nes->vekApu->fadeOut = 3;
    EXPECT_EQ(loop.run({0x20, 0xC8, 0x91}), "");
    EXPECT_EQ(loop.nes->vekApu->fadeOut, 3);
}

TEST(Hooks, OtherTargetsAndOtherTransfersAreNotHooked) {
    HookConsole console;
    console.nes->vekApu->fadeOut = 7;
    // JMP ($0300) to $9100; RTS landing on $9100; BRK and NMI vectors at hooked entries
    console.cpu->ram[0x300] = 0x00;
    console.cpu->ram[0x301] = 0x91;
    console.program(0xC000, {0x6C, 0x00, 0x03});
    testing::internal::CaptureStdout();
    console.step();
    EXPECT_EQ(console.cpu->pc, 0x9100u);

    console.cpu->ram[0x1FF] = 0x90;
    console.cpu->ram[0x1FE] = 0xFF;
    console.cpu->sp = 0xFD;
    console.program(0xC100, {0x60});
    console.step();
    EXPECT_EQ(console.cpu->pc, 0x9100u);
    console.setVector(0xFFFE, 0x9208);
    console.program(0xC200, {0x00});
    console.step();
    EXPECT_EQ(console.cpu->pc, 0x9208u);
    console.setVector(0xFFFA, 0x9215);
    console.ppu->ctrl = 0x80;
    console.cpu->fireNmi();
    EXPECT_EQ(console.cpu->pc, 0x9215u);
    // a JSR to an address next to an entry point
    console.poke(0x9101, {0x60});
    console.program(0xC300, {0x20, 0x01, 0x91});
    console.step();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(console.nes->vekApu->fadeOut, 7);
}

TEST(Hooks, TheDriverRoutineStillRunsUnchanged) {
    // each entry point holds INX / RTS; a JSR there behaves exactly as a JSR anywhere else
    for (unsigned int target : HOOKED) {
        SCOPED_TRACE(target);
        HookConsole console;
        console.poke(target, {0xE8, 0x60});
        console.cpu->a = 0x01;
        console.cpu->y = 0x02;
        console.cpu->p = 0x24;
        console.program(0xC000, {0x20, (int)(target & 0xFF), (int)(target >> 8)});
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(console.step(), 6);
        EXPECT_EQ(console.cpu->pc, target);
        EXPECT_EQ(console.cpu->sp, 0xFDu);
        EXPECT_EQ(console.cpu->ram[0x1FF], 0xC0);
        EXPECT_EQ(console.cpu->ram[0x1FE], 0x02);
        console.step();
        console.step();
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(console.cpu->pc, 0xC003u);
        EXPECT_EQ(console.cpu->a, 0x01u);
        EXPECT_EQ(console.cpu->x, 0x01u);
        EXPECT_EQ(console.cpu->y, 0x02u);
        EXPECT_EQ(console.cpu->p, 0x24u);
        EXPECT_EQ(console.cpu->sp, 0xFFu);
    }
}

// The effect entries need a player with voices: Allegro's audio with the null device, and
// a short generated sample standing in for an effect file.
class HooksSfx : public testing::Test {
protected:
    void SetUp() override {
        setenv("ALSOFT_DRIVERS", "null", 0);
        if (!al_install_system(ALLEGRO_VERSION_INT, nullptr)) GTEST_SKIP() << "no Allegro on this machine";
        installedAudio = !al_is_audio_installed();
        if (!al_install_audio()) GTEST_SKIP() << "no Allegro audio on this machine";
        for (int i = 0; i < 2048; i++) wave[i] = (short)((i % 64 < 32) ? 8000 : -8000);
    }
    void TearDown() override {
        if (installedAudio) al_uninstall_audio();
    }
    bool installedAudio = false;
    short wave[2048];
};

TEST_F(HooksSfx, PitchedEntryReadsYAsASignedStep) {
    testing::internal::CaptureStderr();
    HookConsole console;
    vek::nes::VekApu* apu = console.nes->vekApu;
    testing::internal::GetCapturedStderr();
    ASSERT_NE(apu->voices[0].instance, nullptr);
    apu->samples[5] = al_create_sample(wave, 2048, 22050, ALLEGRO_AUDIO_DEPTH_INT16, ALLEGRO_CHANNEL_CONF_1, false);
    apu->samples[6] = al_create_sample(wave, 2048, 22050, ALLEGRO_AUDIO_DEPTH_INT16, ALLEGRO_CHANNEL_CONF_1, false);
    ASSERT_NE(apu->samples[5], nullptr);

    // LDA #5 / LDY #$FE / JSR $9230
    EXPECT_EQ(console.run({0xA9, 0x05, 0xA0, 0xFE, 0x20, 0x30, 0x92}), "");
    EXPECT_EQ(apu->voices[0].sfx, 5);
    EXPECT_NEAR(al_get_sample_instance_speed(apu->voices[0].instance), 0.9f, 1e-6);

    // LDA #6 / LDY #$04 / JSR $9230: pitch +4
    console.run({0xA9, 0x06, 0xA0, 0x04, 0x20, 0x30, 0x92});
    int voice = apu->voices[1].sfx == 6 ? 1 : 0;
    EXPECT_EQ(apu->voices[voice].sfx, 6);
    EXPECT_NEAR(al_get_sample_instance_speed(apu->voices[voice].instance), 1.2f, 1e-6);
}

TEST_F(HooksSfx, PlainEntryIgnoresY) {
    testing::internal::CaptureStderr();
    HookConsole console;
    vek::nes::VekApu* apu = console.nes->vekApu;
    testing::internal::GetCapturedStderr();
    ASSERT_NE(apu->voices[0].instance, nullptr);
    apu->samples[12] = al_create_sample(wave, 2048, 22050, ALLEGRO_AUDIO_DEPTH_INT16, ALLEGRO_CHANNEL_CONF_1, false);
    // LDA #12 / LDY #$F0 / JSR $9232
    EXPECT_EQ(console.run({0xA9, 0x0C, 0xA0, 0xF0, 0x20, 0x32, 0x92}), "");
    EXPECT_EQ(apu->voices[0].sfx, 12);
    EXPECT_NEAR(al_get_sample_instance_speed(apu->voices[0].instance), 1.0f, 1e-6);
}
