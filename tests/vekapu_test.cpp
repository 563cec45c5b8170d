// The music and effects player on Allegro's real audio add-on, mixing into OpenAL's silent
// device, with the soundtrack the build puts into the game directory.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/util.h"
#include "audio_support.h"
#include "nes/vek_apu.h"

using vek::nes::MUSIC_INFO;
using vek::nes::NUM_SFX;
using vek::nes::SFX_INFO;
using vek::nes::VekApu;
using vektest::ScopedCwd;
using vektest::TempDir;

// Allegro's audio add-on never frees the records of the threads it starts for its voice and
// its streams, so each install and uninstall leaves a few hundred bytes behind in the library.
// The sanitizer build's leak checker is told so; weak, in case another test file says the same.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() { return "leak:al_create_thread\n"; }

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Player : public testing::Test {
protected:
    void SetUp() override {
        if (!vektest::installAudio()) GTEST_SKIP() << "no Allegro audio on this machine";
        cwd.reset(new ScopedCwd(VEK_GAME_DIR));
        ASSERT_TRUE(cwd->ok);
        testing::internal::CaptureStderr();
        apu = new VekApu(nullptr);
        constructionErrors = testing::internal::GetCapturedStderr();
    }

    void TearDown() override {
        delete apu;
        apu = nullptr;
        vektest::uninstallAudio();
        cwd.reset();
    }

    // Holds the mixer still: nothing that is sounding ends while a test looks at the voices.
    void freezeTime() { ASSERT_TRUE(al_set_mixer_playing(al_get_default_mixer(), false)); }

    bool sounding(int voice) { return al_get_sample_instance_playing(apu->voices[voice].instance); }

    // the effect bound to a voice, recognised by its sample data
    bool boundTo(int voice, int sfx) {
        ALLEGRO_SAMPLE* bound = al_get_sample(apu->voices[voice].instance);
        return bound && al_get_sample_data(bound) == al_get_sample_data(apu->samples[sfx]);
    }

    std::unique_ptr<ScopedCwd> cwd;
    VekApu* apu = nullptr;
    std::string constructionErrors;
};

}  // namespace

TEST_F(Player, ConstructionDecodesEveryEffectAndPreparesThreeVoices) {
    EXPECT_EQ(constructionErrors, "");
    for (int i = 0; i < NUM_SFX; i++) EXPECT_NE(apu->samples[i], nullptr) << SFX_INFO[i].filename;
    for (int v = 0; v < VekApu::NUM_VOICES; v++) {
        ASSERT_NE(apu->voices[v].instance, nullptr);
        EXPECT_TRUE(al_get_sample_instance_attached(apu->voices[v].instance));
        EXPECT_EQ(apu->voices[v].sfx, -1);
        EXPECT_FALSE(sounding(v));
    }
    EXPECT_EQ(apu->musicStream, nullptr);
    EXPECT_EQ(apu->fadeOut, 0);
    EXPECT_EQ(apu->musicVolume, 1.0f);
    EXPECT_EQ(apu->sfxVolume, 1.0f);
}

TEST_F(Player, EffectsTakeIdleVoicesInOrder) {
    freezeTime();
    apu->playSfx(0, 0);
    apu->playSfx(1, 0);
    apu->playSfx(2, 0);
    for (int v = 0; v < 3; v++) {
        EXPECT_EQ(apu->voices[v].sfx, v);
        EXPECT_TRUE(sounding(v));
        EXPECT_TRUE(boundTo(v, v));
    }
    // a voice that has gone quiet is the first choice again, whatever it played before
    al_stop_sample_instance(apu->voices[1].instance);
    apu->playSfx(16, 0);
    EXPECT_EQ(apu->voices[1].sfx, 16);
    EXPECT_TRUE(boundTo(1, 16));
    EXPECT_EQ(apu->voices[0].sfx, 0);
    EXPECT_EQ(apu->voices[2].sfx, 2);
}

TEST_F(Player, BusyVoicesGoToEqualOrHigherPriority) {
    freezeTime();
    // hero damage, fairy and wishing star: priority 9 each
    apu->playSfx(9, 0);
    apu->playSfx(12, 0);
    apu->playSfx(20, 0);
    ASSERT_EQ(SFX_INFO[9].priority, 9);
    ASSERT_EQ(SFX_INFO[12].priority, 9);
    ASSERT_EQ(SFX_INFO[20].priority, 9);

    // the emerald (8) is dropped: nothing changes
    apu->playSfx(0, 0);
    EXPECT_EQ(apu->voices[0].sfx, 9);
    EXPECT_EQ(apu->voices[1].sfx, 12);
    EXPECT_EQ(apu->voices[2].sfx, 20);
    for (int v = 0; v < 3; v++) EXPECT_TRUE(sounding(v));

    // the boss dash (10) takes voice 0
    apu->playSfx(14, 0);
    EXPECT_EQ(apu->voices[0].sfx, 14);
    EXPECT_TRUE(boundTo(0, 14));
    EXPECT_TRUE(sounding(0));

    // a tie goes to the new effect: the ghost (9) takes the first voice of priority <= 9, voice 1
    apu->playSfx(27, 0);
    EXPECT_EQ(apu->voices[0].sfx, 14);
    EXPECT_EQ(apu->voices[1].sfx, 27);
    EXPECT_EQ(apu->voices[2].sfx, 20);

    // pause (15) beats everything; another spell (5) beats nothing now
    apu->playSfx(23, 0);
    EXPECT_EQ(apu->voices[0].sfx, 23);
    apu->playSfx(4, 0);
    EXPECT_EQ(apu->voices[0].sfx, 23);
    EXPECT_EQ(apu->voices[1].sfx, 27);
    EXPECT_EQ(apu->voices[2].sfx, 20);
}

TEST_F(Player, OneEffectNeverSoundsTwice) {
    freezeTime();
    apu->playSfx(4, 0);  // voice 0
    apu->playSfx(3, 0);  // voice 1
    al_stop_sample_instance(apu->voices[0].instance);

    // effect 3 again: it starts on the idle voice 0 and the older copy on voice 1 stops
    apu->playSfx(3, 0);
    EXPECT_EQ(apu->voices[0].sfx, 3);
    EXPECT_TRUE(sounding(0));
    EXPECT_FALSE(sounding(1));
    EXPECT_EQ(apu->voices[1].sfx, 3);  // the voice remembers what it played last

    // with every voice busy, the same effect replaces itself on its own voice
    apu->playSfx(12, 0);  // voice 1 (idle)
    apu->playSfx(20, 0);  // voice 2
    apu->playSfx(20, 0);  // all busy: voice 0 (3, priority 6) is taken, voice 2 is stopped
    EXPECT_EQ(apu->voices[0].sfx, 20);
    EXPECT_TRUE(sounding(0));
    EXPECT_FALSE(sounding(2));
    int copies = 0;
    for (int v = 0; v < 3; v++) copies += sounding(v) && apu->voices[v].sfx == 20;
    EXPECT_EQ(copies, 1);
}

TEST_F(Player, PitchStepsSetTheSpeedDownToAFloor) {
    freezeTime();
    struct Case {
        int pitch;
        float speed;
    } cases[] = {{0, 1.0f}, {-2, 0.9f}, {4, 1.2f}, {-11, 0.45f}, {-12, 0.4f}, {-100, 0.4f}, {20, 2.0f}};
    for (const Case& c : cases) {
        apu->playSfx(16, c.pitch);
        int v = apu->voices[0].sfx == 16 && sounding(0) ? 0 : -1;
        for (int k = 0; k < 3; k++)
            if (apu->voices[k].sfx == 16 && sounding(k)) v = k;
        ASSERT_GE(v, 0) << "pitch " << c.pitch;
        EXPECT_FLOAT_EQ(al_get_sample_instance_speed(apu->voices[v].instance), c.speed) << "pitch " << c.pitch;
        EXPECT_FLOAT_EQ(al_get_sample_instance_gain(apu->voices[v].instance), 1.0f);
    }
}

TEST_F(Player, EffectsVolumeAppliesToTheNextEffectOnly) {
    freezeTime();
    apu->playSfx(21, 0);
    apu->setSfxVolume(0.5f);
    EXPECT_FLOAT_EQ(al_get_sample_instance_gain(apu->voices[0].instance), 1.0f);
    apu->playSfx(25, 0);
    EXPECT_EQ(apu->voices[1].sfx, 25);
    EXPECT_FLOAT_EQ(al_get_sample_instance_gain(apu->voices[1].instance), 0.5f);

    // volume 0: nothing starts and nothing stops, not even the same effect still sounding
    apu->setSfxVolume(0.0f);
    apu->playSfx(21, 0);
    apu->playSfx(0, 0);
    EXPECT_EQ(apu->voices[0].sfx, 21);
    EXPECT_TRUE(sounding(0));
    EXPECT_EQ(apu->voices[1].sfx, 25);
    EXPECT_EQ(apu->voices[2].sfx, -1);
    EXPECT_FALSE(sounding(2));
}

TEST_F(Player, NumbersOutsideTheTablesChangeNothing) {
    freezeTime();
    apu->playSfx(7, 0);
    for (int sfx : {-1, 34, 255, -1000}) apu->playSfx(sfx, 0);
    EXPECT_EQ(apu->voices[0].sfx, 7);
    EXPECT_EQ(apu->voices[1].sfx, -1);
    EXPECT_EQ(apu->voices[2].sfx, -1);

    apu->playMusic(1);
    ALLEGRO_AUDIO_STREAM* stream = apu->musicStream;
    ASSERT_NE(stream, nullptr);
    apu->fadeOutMusic();
    apu->update();
    testing::internal::CaptureStderr();
    apu->playMusic(9);
    apu->playMusic(-1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(apu->musicStream, stream);
    EXPECT_EQ(apu->fadeOut, 2);
    EXPECT_TRUE(al_get_audio_stream_playing(stream));
}

TEST_F(Player, TracksStartWithTheirPlayModeSpeedAndGain) {
    for (int track = 0; track < 9; track++) {
        apu->playMusic(track);
        ALLEGRO_AUDIO_STREAM* s = apu->musicStream;
        ASSERT_NE(s, nullptr) << MUSIC_INFO[track].filename;
        EXPECT_TRUE(al_get_audio_stream_playing(s));
        EXPECT_TRUE(al_get_audio_stream_attached(s));
        EXPECT_FLOAT_EQ(al_get_audio_stream_gain(s), 0.85f);
        // a stream reports its mode in Allegro's own stream numbering: 0x103 once, 0x104 looping
        int mode = (int)al_get_audio_stream_playmode(s);
        if (track == 6)
            EXPECT_TRUE(mode == ALLEGRO_PLAYMODE_ONCE || mode == 0x103) << mode;
        else
            EXPECT_TRUE(mode == ALLEGRO_PLAYMODE_LOOP || mode == 0x104) << "track " << track << ": " << mode;
        float speed = al_get_audio_stream_speed(s);
        if (track == 3) {
            uint32_t bits;
            std::memcpy(&bits, &speed, 4);
            EXPECT_EQ(bits, 0x3F7F943Fu);
        } else {
            EXPECT_EQ(speed, 1.0f) << "track " << track;
        }
    }
    apu->stopMusic();
    EXPECT_EQ(apu->musicStream, nullptr);
    EXPECT_EQ(apu->fadeOut, 0);
}

TEST_F(Player, PauseResumeAndTheLoopPointSeek) {
    apu->pauseMusic();  // no stream: nothing happens
    apu->resumeMusic();
    apu->forceMusicLoop();
    apu->playMusic(8);
    ASSERT_NE(apu->musicStream, nullptr);
    apu->pauseMusic();
    EXPECT_FALSE(al_get_audio_stream_playing(apu->musicStream));
    apu->resumeMusic();
    EXPECT_TRUE(al_get_audio_stream_playing(apu->musicStream));

    freezeTime();
    apu->forceMusicLoop();
    // the decoder stands at 1.596 s, or some buffers later if the feeder has read ahead
    double pos = al_get_audio_stream_position_secs(apu->musicStream);
    EXPECT_GE(pos, 1.596 - 1e-6);
    EXPECT_LT(pos, 1.596 + 0.25);
}

TEST_F(Player, FadeOutStepsAndRestarts) {
    apu->playMusic(0);
    ALLEGRO_AUDIO_STREAM* s = apu->musicStream;
    ASSERT_NE(s, nullptr);
    apu->fadeOutMusic();
    EXPECT_EQ(apu->fadeOut, 1);
    apu->setMusicVolume(1.0f);
    EXPECT_FLOAT_EQ(al_get_audio_stream_gain(s), 255.0f / 256.0f * 0.85f);
    for (int i = 0; i < 127; i++) apu->update();
    EXPECT_EQ(apu->fadeOut, 128);
    apu->setMusicVolume(1.0f);
    EXPECT_FLOAT_EQ(al_get_audio_stream_gain(s), 0.425f);
    for (int i = 0; i < 72; i++) apu->update();
    EXPECT_EQ(apu->fadeOut, 200);

    // a second fade-out starts again from the beginning: nearly full volume
    apu->fadeOutMusic();
    EXPECT_EQ(apu->fadeOut, 1);
    apu->setMusicVolume(0.5f);
    EXPECT_FLOAT_EQ(al_get_audio_stream_gain(s), 255.0f / 256.0f * 0.425f);

    // 255 steps reach silence, and it stays there with the stream still playing
    for (int i = 0; i < 254; i++) apu->update();
    EXPECT_EQ(apu->fadeOut, 255);
    apu->update();
    apu->update();
    EXPECT_EQ(apu->fadeOut, 256);
    apu->setMusicVolume(0.5f);
    EXPECT_FLOAT_EQ(al_get_audio_stream_gain(s), 0.0f);
    EXPECT_TRUE(al_get_audio_stream_playing(s));

    // a new track clears the fade and starts at the configured volume
    apu->playMusic(2);
    EXPECT_EQ(apu->fadeOut, 0);
    EXPECT_FLOAT_EQ(al_get_audio_stream_gain(apu->musicStream), 0.425f);
}

TEST_F(Player, MusicVolumeTouchesTheGainOnlyWhenItChanges) {
    // a fade with no music: nothing to set, nothing fails
    apu->fadeOutMusic();
    testing::internal::CaptureStderr();
    apu->setMusicVolume(0.7f);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    apu->stopMusic();

    apu->setMusicVolume(1.0f);
    apu->playMusic(4);
    ALLEGRO_AUDIO_STREAM* s = apu->musicStream;
    ASSERT_NE(s, nullptr);
    EXPECT_FLOAT_EQ(al_get_audio_stream_gain(s), 0.85f);
    apu->setMusicVolume(0.5f);
    EXPECT_FLOAT_EQ(al_get_audio_stream_gain(s), 0.425f);
    // the same volume again, no fade: the gain is left alone
    ASSERT_TRUE(al_set_audio_stream_gain(s, 0.3f));
    apu->setMusicVolume(0.5f);
    EXPECT_FLOAT_EQ(al_get_audio_stream_gain(s), 0.3f);
    apu->setMusicVolume(0.0f);
    EXPECT_FLOAT_EQ(al_get_audio_stream_gain(s), 0.0f);
    EXPECT_EQ(apu->musicVolume, 0.0f);
}

// Files missing from the directory the program runs from: each is reported once and stays silent.
TEST(PlayerFiles, MissingFilesAreLoggedAndSilent) {
    if (!vektest::installAudio()) GTEST_SKIP() << "no Allegro audio on this machine";
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    ScopedCwd cwd(dir.path);
    ASSERT_TRUE(cwd.ok);

    testing::internal::CaptureStderr();
    VekApu* apu = new VekApu(nullptr);
    std::string log = testing::internal::GetCapturedStderr();
    for (int i = 0; i < NUM_SFX; i++) {
        char line[128];
        std::snprintf(line, sizeof(line), "VekApu: Could not load sound effect %d (%s)\n", i, SFX_INFO[i].filename);
        EXPECT_TRUE(contains(log, line)) << line;
        EXPECT_EQ(apu->samples[i], nullptr);
    }
    // the voices themselves exist: only their material is missing
    for (int v = 0; v < 3; v++) EXPECT_NE(apu->voices[v].instance, nullptr);

    apu->playSfx(23, 0);
    for (int v = 0; v < 3; v++) {
        EXPECT_EQ(apu->voices[v].sfx, -1);
        EXPECT_FALSE(al_get_sample_instance_playing(apu->voices[v].instance));
    }
    testing::internal::CaptureStderr();
    apu->playMusic(0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "VekApu::playMusic() Could not load music track 0 (music/mysterious.ogg)\n");
    EXPECT_EQ(apu->musicStream, nullptr);
    apu->pauseMusic();
    apu->forceMusicLoop();
    apu->setMusicVolume(0.3f);
    delete apu;
    vektest::uninstallAudio();
}

TEST(PlayerFiles, OneMissingEffectLeavesTheOthersPlaying) {
    if (!vektest::installAudio()) GTEST_SKIP() << "no Allegro audio on this machine";
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    ASSERT_EQ(mkdir((dir.path + "/sfx").c_str(), 0755), 0);
    for (int i = 0; i < NUM_SFX; i++) {
        if (i == 23) continue;
        std::string from = std::string(VEK_GAME_DIR) + "/" + SFX_INFO[i].filename;
        ASSERT_EQ(symlink(from.c_str(), (dir.path + "/" + SFX_INFO[i].filename).c_str()), 0) << from;
    }
    ScopedCwd cwd(dir.path);
    ASSERT_TRUE(cwd.ok);

    testing::internal::CaptureStderr();
    VekApu* apu = new VekApu(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "VekApu: Could not load sound effect 23 (sfx/pause.ogg)\n");
    ASSERT_TRUE(al_set_mixer_playing(al_get_default_mixer(), false));
    apu->playSfx(23, 0);
    EXPECT_EQ(apu->voices[0].sfx, -1);
    apu->playSfx(24, 0);
    EXPECT_EQ(apu->voices[0].sfx, 24);
    EXPECT_TRUE(al_get_sample_instance_playing(apu->voices[0].instance));
    delete apu;
    vektest::uninstallAudio();
}

namespace {

// In a process of its own: no audio add-on at all. Exits 0 when the player stayed silent.
void playWithoutAudio() {
    al_install_system(ALLEGRO_VERSION_INT, nullptr);
    if (al_is_audio_installed()) std::exit(3);
    if (chdir(VEK_GAME_DIR) != 0) std::exit(4);
    VekApu apu(nullptr);
    for (int i = 0; i < NUM_SFX; i++)
        if (apu.samples[i]) std::exit(5);
    for (int v = 0; v < 3; v++)
        if (apu.voices[v].instance) std::exit(6);
    apu.playSfx(0, 0);
    apu.playMusic(5);
    if (apu.musicStream) std::exit(7);
    apu.pauseMusic();
    apu.resumeMusic();
    apu.fadeOutMusic();
    apu.update();
    apu.setMusicVolume(0.5f);
    apu.forceMusicLoop();
    apu.stopMusic();
    std::fprintf(stderr, "silent and logged\n");
    std::exit(0);
}

// Reads a WAV file of 16-bit or float samples (plain or extensible header); returns all
// channels interleaved as floats.
bool readWav(const std::string& path, std::vector<float>& out, int& channels) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) return false;
    auto u16 = [&](size_t at) { return (unsigned)(uint8_t)b[at] | (unsigned)(uint8_t)b[at + 1] << 8; };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    size_t at = 12;
    int format = 0, bits = 0;
    channels = 0;
    while (at + 8 <= b.size()) {
        size_t len = u32(at + 4);
        size_t body = at + 8;
        if (std::memcmp(&b[at], "fmt ", 4) == 0 && body + 16 <= b.size()) {
            format = (int)u16(body);
            channels = (int)u16(body + 2);
            bits = (int)u16(body + 14);
            if (format == 0xFFFE && body + 26 <= b.size()) format = (int)u16(body + 24);
        } else if (std::memcmp(&b[at], "data", 4) == 0) {
            // a header that was never finished leaves the length short: read to the end
            size_t end = (len == 0 || body + len > b.size()) ? b.size() : body + len;
            if (format == 1 && bits == 16) {
                for (size_t i = body; i + 2 <= end; i += 2) out.push_back((int16_t)u16(i) / 32768.0f);
            } else if (format == 3 && bits == 32) {
                for (size_t i = body; i + 4 <= end; i += 4) {
                    float f;
                    std::memcpy(&f, &b[i], 4);
                    out.push_back(f);
                }
            } else {
                return false;
            }
            return channels > 0;
        }
        at = body + len + (len & 1);
    }
    return false;
}

// In a process of its own: OpenAL writes what the mixer plays into a WAV file in real time.
// Plays the title music for a second and a half and measures the recording.
void recordTitleMusic(const std::string& conf, const std::string& wav) {
    unsetenv("ALSOFT_DRIVERS");
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    if (!al_install_system(ALLEGRO_VERSION_INT, nullptr) || !al_install_audio() || !al_init_acodec_addon()) std::exit(3);
    if (chdir(VEK_GAME_DIR) != 0) std::exit(4);
    VekApu* apu = new VekApu(nullptr);
    apu->playMusic(5);
    if (!apu->musicStream) std::exit(5);
    al_rest(0.6);
    apu->playSfx(16, 0);
    al_rest(0.9);
    delete apu;
    al_uninstall_audio();

    std::vector<float> s;
    int channels = 0;
    if (!readWav(wav, s, channels)) {
        std::fprintf(stderr, "no readable recording\n");
        std::exit(6);
    }
    double seconds = (double)s.size() / channels / 44100.0;
    double level = vektest::rms(s);
    std::fprintf(stderr, "recorded %.2f s, rms %.4f\n", seconds, level);
    std::exit(seconds > 1.0 && level > 0.02 ? 0 : 1);
}

// In a process of its own, as the program starts: the sound comes up on its own thread, the
// player made meanwhile holds nothing yet; a track asked for before the mixer is there does
// not wait for it and starts at the first update that finds it, as the game left it; the
// player takes the effects over at its first effect.
void startLikeTheProgram() {
    alarm(20);
    if (!al_install_system(ALLEGRO_VERSION_INT, nullptr)) std::exit(3);
    if (chdir(VEK_GAME_DIR) != 0) std::exit(4);
    setenv("ALSOFT_DRIVERS", "null", 0);
    VekApu::startAudio(true);  // held: the mixer is not there yet
    VekApu* apu = new VekApu(nullptr);
    if (!apu->waitingForSound || !apu->waitingForEffects || apu->voices[0].instance) std::exit(5);
    apu->setMusicVolume(0.5f);  // every frame does this: it must not wait for the thread
    // the title music: the game takes it for playing, pauses it for a jingle
    apu->playMusic(5);
    if (!apu->waitingForSound || apu->musicStream || !apu->isMusicPlaying()) std::exit(6);
    apu->pauseMusic();
    apu->update();
    if (apu->isMusicPlaying() || apu->musicStream) std::exit(7);
    VekApu::releaseAudioStart();
    for (int i = 0; i < 5000 && !apu->musicStream; i++) {
        al_rest(0.001);
        apu->update();
    }
    if (apu->waitingForSound || !al_is_audio_installed() || !apu->voices[2].instance) std::exit(8);
    if (!apu->musicStream || al_get_audio_stream_playing(apu->musicStream)) std::exit(8);
    apu->resumeMusic();
    if (!al_get_audio_stream_playing(apu->musicStream) || !apu->isMusicPlaying()) std::exit(8);
    // stopped before it could start, a track never starts
    apu->stopMusic();
    apu->update();
    if (apu->musicStream || apu->isMusicPlaying()) std::exit(8);
    // an effect waits for all of them
    apu->playSfx(16, 0);
    if (apu->waitingForEffects) std::exit(9);
    for (int i = 0; i < NUM_SFX; i++)
        if (!apu->samples[i]) std::exit(10);
    if (apu->voices[0].sfx != 16 || !al_get_sample_instance_playing(apu->voices[0].instance)) std::exit(11);
    delete apu;
    // a start that never reaches a player (no display) is waited for all the same
    al_uninstall_audio();
    VekApu::startAudio();
    if (!VekApu::finishStartingAudio()) std::exit(12);
    al_uninstall_audio();
    std::fprintf(stderr, "taken over at the first sound\n");
    std::exit(0);
}

// In a process of its own, with a deadline: plays `track` from a copy of its file cut after
// about `keepSecs` of sound (a download that broke off), on past the cut, then destroys the
// player. Exits 0 when the stream kept playing and the player was destroyed; a player that
// hangs is ended by the alarm.
void playCutTrack(const std::string& dir, int track, double keepSecs) {
    alarm(20);
    if (!vektest::installAudio()) std::exit(3);
    const std::string name = MUSIC_INFO[track].filename;
    const std::string whole = std::string(VEK_GAME_DIR) + "/" + name;
    ALLEGRO_AUDIO_STREAM* full = al_load_audio_stream(whole.c_str(), 4, 1024);
    if (!full) std::exit(4);
    const double fullSecs = al_get_audio_stream_length_secs(full);
    al_destroy_audio_stream(full);
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes.resize((size_t)((double)bytes.size() * keepSecs / fullSecs));
    mkdir((dir + "/music").c_str(), 0755);
    std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
    if (chdir(dir.c_str()) != 0) std::exit(4);
    vek::Util::generateFileNames("test");

    VekApu* apu = new VekApu(nullptr);
    apu->playMusic(track);
    ALLEGRO_AUDIO_STREAM* s = apu->musicStream;
    if (!s) std::exit(5);
    const double secs = al_get_audio_stream_length_secs(s);
    al_rest(secs + 1.0);
    const bool playing = al_get_audio_stream_playing(s);
    const double pos = al_get_audio_stream_position_secs(s);
    delete apu;
    al_uninstall_audio();
    std::ifstream log("error.log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    const bool told = contains(text, "too short for its loop");
    std::fprintf(stderr, "%s of %.2f s: %s at %.2f s, %s; player destroyed\n", name.c_str(), secs,
                 playing ? "playing" : "stopped", pos, told ? "logged" : "not logged");
    std::exit(playing && pos <= secs && told ? 0 : 1);
}

}  // namespace

// A music file shorter than its loop start loops whole instead, and the player is destroyed
// as always. The intro and the dreamy track are cut a second in, before their loops start:
// each plays on past the cut, and the error log says why it does not loop as usual.
TEST(PlayerFiles, CutMusicLoopsWholeAndThePlayerStillEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        int track;
        double keepSecs;
    } cuts[] = {{5, 1.0}, {3, 1.2}};
    for (const auto& k : cuts) {
        TempDir dir;
        ASSERT_FALSE(dir.path.empty());
        EXPECT_EXIT(playCutTrack(dir.path, k.track, k.keepSecs), testing::ExitedWithCode(0),
                    "playing at .*, logged; player destroyed")
            << MUSIC_INFO[k.track].filename;
    }
}

TEST(PlayerFiles, SoundStartedBesideTheDisplayIsTakenOverAtTheFirstSound) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(startLikeTheProgram(), testing::ExitedWithCode(0), "taken over at the first sound");
}

TEST(PlayerOutput, StaysSilentWithoutTheAudioAddOn) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(playWithoutAudio(), testing::ExitedWithCode(0), "silent and logged");
}

TEST(PlayerOutput, TheTitleMusicReachesTheSoundDevice) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    std::string conf = dir.path + "/alsoft.conf", wav = dir.path + "/out.wav";
    {
        std::ofstream f(conf);
        f << "drivers = wave\n[wave]\nfile = " << wav << "\n";
    }
    EXPECT_EXIT(recordTitleMusic(conf, wav), testing::ExitedWithCode(0), "recorded [0-9.]+ s, rms");
}
