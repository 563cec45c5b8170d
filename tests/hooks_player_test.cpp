// The road of a sound from the game to the speaker: small programs on the real CPU call the
// sound driver's entry points, and the player with the real soundtrack changes accordingly.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>

#include "app/emulator_main.h"
#include "audio_support.h"
#include "console_support.h"
#include "nes/hooks.h"
#include "nes/vek_apu.h"

using vek::nes::VekApu;

namespace {

class DriverCalls : public testing::Test {
protected:
    void SetUp() override {
        if (!vektest::installAudio()) GTEST_SKIP() << "no Allegro audio on this machine";
        cwd.reset(new vektest::ScopedCwd(VEK_GAME_DIR));
        ASSERT_TRUE(cwd->ok);
        testing::internal::CaptureStderr();
        console.reset(new vektest::TestConsole());
        ASSERT_EQ(testing::internal::GetCapturedStderr(), "");
        apu = console->nes->vekApu;
        // the driver's entry points: each a bare RTS, as far as this test is concerned
        for (unsigned int entry : {0x91C9u, 0x9100u, 0x912Eu, 0x91C5u, 0x91C8u, 0x9208u, 0x9215u, 0x9230u, 0x9232u})
            console->poke(entry, {0x60});
        console->cpu->sp = 0xFF;
    }

    void TearDown() override {
        console.reset();
        vektest::uninstallAudio();
        cwd.reset();
    }

    // runs a program placed at $C000 until pc reaches `stop` (default: the byte after it)
    void run(std::initializer_list<int> code, unsigned int stop = 0) {
        console->program(0xC000, code);
        if (!stop) stop = 0xC000 + (unsigned int)code.size();
        testing::internal::CaptureStdout();
        for (int i = 0; i < 1000 && console->cpu->pc != stop; i++) console->step();
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(console->cpu->pc, stop);
    }

    int voiceOf(int sfx) {
        for (int v = 0; v < VekApu::NUM_VOICES; v++)
            if (apu->voices[v].sfx == sfx && al_get_sample_instance_playing(apu->voices[v].instance)) return v;
        return -1;
    }

    std::unique_ptr<vektest::ScopedCwd> cwd;
    std::unique_ptr<vektest::TestConsole> console;
    VekApu* apu = nullptr;
};

// The shell's pause and focus around a console it does not own.
struct EmulatorMainShell {
    vek::EmulatorMain em;
    explicit EmulatorMainShell(vek::nes::Nes* nes) { em.nes = nes; }
    ~EmulatorMainShell() { em.nes = nullptr; }
};

}  // namespace

TEST_F(DriverCalls, ChooseStartPlayEffectsAndFade) {
    ASSERT_NE(apu->samples[5], nullptr);
    ASSERT_TRUE(al_set_mixer_playing(al_get_default_mixer(), false));
    run({
        0xA9, 0x03,        // LDA #3        the dreamy track
        0x20, 0xC9, 0x91,  // JSR $91C9     choose it
        0x20, 0x00, 0x91,  // JSR $9100     start it
        0xA9, 0x05,        // LDA #5        spell2
        0xA0, 0xFE,        // LDY #$FE      two steps down
        0x20, 0x30, 0x92,  // JSR $9230
        0xA9, 0x10,        // LDA #16       open chest
        0xA0, 0x07,        // LDY #7        ignored by this entry
        0x20, 0x32, 0x92,  // JSR $9232
        0x20, 0xC5, 0x91,  // JSR $91C5     fade out
    });

    ASSERT_NE(apu->musicStream, nullptr);
    EXPECT_EQ(console->nes->hooks->pendingMusic, -1);
    EXPECT_TRUE(al_get_audio_stream_playing(apu->musicStream));
    // it is the dreamy track: its own speed, and the length of its file
    float speed = al_get_audio_stream_speed(apu->musicStream);
    uint32_t bits;
    std::memcpy(&bits, &speed, 4);
    EXPECT_EQ(bits, 0x3F7F943Fu);
    EXPECT_GT(al_get_audio_stream_length_secs(apu->musicStream), 39.934);
    EXPECT_LT(al_get_audio_stream_length_secs(apu->musicStream), 41.0);

    int spell = voiceOf(5), chest = voiceOf(16);
    ASSERT_GE(spell, 0);
    ASSERT_GE(chest, 0);
    EXPECT_FLOAT_EQ(al_get_sample_instance_speed(apu->voices[spell].instance), 0.9f);
    EXPECT_FLOAT_EQ(al_get_sample_instance_speed(apu->voices[chest].instance), 1.0f);

    EXPECT_EQ(apu->fadeOut, 1);
    for (int frame = 0; frame < 127; frame++) apu->update();
    apu->setMusicVolume(1.0f);
    EXPECT_FLOAT_EQ(al_get_audio_stream_gain(apu->musicStream), 0.425f);

    // the start entry with no track chosen stops the music and clears the fade
    run({0x20, 0x00, 0x91});
    EXPECT_EQ(apu->musicStream, nullptr);
    EXPECT_EQ(apu->fadeOut, 0);
    al_set_mixer_playing(al_get_default_mixer(), true);
}

TEST_F(DriverCalls, PauseResumeLoopPointAndTheSecondStartEntry) {
    run({0xA9, 0x08, 0x20, 0xC9, 0x91, 0x20, 0x2E, 0x91});  // LDA #8 / JSR $91C9 / JSR $912E
    ALLEGRO_AUDIO_STREAM* march = apu->musicStream;
    ASSERT_NE(march, nullptr);

    run({0x20, 0x08, 0x92});  // JSR $9208: pause
    EXPECT_FALSE(al_get_audio_stream_playing(march));
    run({0x20, 0x15, 0x92});  // JSR $9215: resume
    EXPECT_TRUE(al_get_audio_stream_playing(march));

    ASSERT_TRUE(al_set_mixer_playing(al_get_default_mixer(), false));
    run({0x20, 0xC8, 0x91});  // JSR $91C8: back to the loop point
    double pos = al_get_audio_stream_position_secs(march);
    EXPECT_GE(pos, 1.596 - 1e-6);
    EXPECT_LT(pos, 1.596 + 0.25);
    al_set_mixer_playing(al_get_default_mixer(), true);

    // JMP $912E with the fanfare chosen: it replaces the march and plays once
    run({0xA9, 0x06, 0x20, 0xC9, 0x91, 0x4C, 0x2E, 0x91}, 0x912E);
    ASSERT_NE(apu->musicStream, nullptr);
    int mode = (int)al_get_audio_stream_playmode(apu->musicStream);
    EXPECT_TRUE(mode == ALLEGRO_PLAYMODE_ONCE || mode == 0x103) << mode;
    EXPECT_LT(al_get_audio_stream_length_secs(apu->musicStream), 10.0);

    // a track number beyond the table is consumed without touching the music
    ALLEGRO_AUDIO_STREAM* fanfare = apu->musicStream;
    console->cpu->sp = 0xFF;
    run({0xA9, 0x09, 0x20, 0xC9, 0x91, 0x20, 0x00, 0x91});
    EXPECT_EQ(apu->musicStream, fanfare);
    EXPECT_EQ(console->nes->hooks->pendingMusic, -1);
}

// The music rests while the game's driver or the program holds it, and plays only when
// neither does: a dialog closing or the focus returning never undoes the game's pause (the
// wishing star's jingle), and the focus returning under an open menu does not start it.
TEST_F(DriverCalls, MusicPlaysOnlyWhileNeitherTheGameNorTheProgramHoldsIt) {
    run({0xA9, 0x08, 0x20, 0xC9, 0x91, 0x20, 0x00, 0x91});  // LDA #8 / JSR $91C9 / JSR $9100
    ASSERT_NE(apu->musicStream, nullptr);
    EmulatorMainShell shell(console->nes);
    vek::EmulatorMain& em = shell.em;

    struct Step {
        const char* what;
        std::function<void()> act;
        bool playing;
    };
    const Step steps[] = {
        {"the track starts", [] {}, true},
        {"the game pauses it", [&] { run({0x20, 0x08, 0x92}); }, false},
        {"a dialog opens", [&] { em.pause(); }, false},
        {"the dialog closes", [&] { em.unpause(); }, false},
        {"the window loses the focus", [&] { em.focusChanged(false); }, false},
        {"the window regains it", [&] { em.focusChanged(true); }, false},
        {"the game resumes it", [&] { run({0x20, 0x15, 0x92}); }, true},
        {"the focus goes", [&] { em.focusChanged(false); }, false},
        {"a menu opens", [&] { em.pause(); }, false},
        {"the focus returns under the menu", [&] { em.focusChanged(true); }, false},
        {"the game's resume while the menu holds it", [&] { run({0x20, 0x15, 0x92}); }, false},
        {"the menu closes", [&] { em.unpause(); }, true},
        {"a menu opens again", [&] { em.pause(); }, false},
        {"a new track starts under it", [&] { run({0xA9, 0x01, 0x20, 0xC9, 0x91, 0x20, 0x00, 0x91}); }, false},
        {"the menu closes", [&] { em.unpause(); }, true},
    };
    for (const Step& step : steps) {
        step.act();
        ASSERT_NE(apu->musicStream, nullptr) << step.what;
        EXPECT_EQ(al_get_audio_stream_playing(apu->musicStream), step.playing) << step.what;
    }
}
