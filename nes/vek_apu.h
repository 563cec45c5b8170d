#pragma once

struct ALLEGRO_SAMPLE;
struct ALLEGRO_SAMPLE_INSTANCE;
struct ALLEGRO_AUDIO_STREAM;

namespace vek {
namespace nes {

class Nes;

struct structSfxInfo {
    const char* filename;
    int priority;  // a higher number wins a voice
};

struct structMusicInfo {
    const char* filename;
    bool loop;
    double loopStart;  // seconds; 0 loops the whole file
    double loopEnd;
};

static const int NUM_SFX = 34;
static const int NUM_MUSIC = 9;
extern const structSfxInfo SFX_INFO[NUM_SFX];
extern const structMusicInfo MUSIC_INFO[NUM_MUSIC];

// Plays the game's music as streamed Ogg Vorbis files and its effects as preloaded samples
// on three voices shared by priority, in place of the console's sound chip.
class VekApu {
public:
    static const float SFX_BASE_VOLUME;
    static const float MUSIC_BASE_VOLUME;
    static const int NUM_VOICES = 3;

    struct Voice {
        ALLEGRO_SAMPLE_INSTANCE* instance;
        int sfx;  // the effect last started here, -1 when none yet
    };

    Nes* nes;
    ALLEGRO_SAMPLE* samples[NUM_SFX];
    Voice voices[NUM_VOICES];
    ALLEGRO_AUDIO_STREAM* musicStream;
    int fadeOut;  // 0 none, 1..256 running or ended (256 silent)
    float musicVolume;
    float sfxVolume;
    // two reasons for the music to rest, kept apart: the game's driver pausing it (a jingle)
    // and the program holding it (a dialog open, the window in the background)
    bool gamePaused;
    bool hostPaused;
    // the start-up thread still holds the mixer / the effects: taken over at first use
    bool waitingForSound;
    bool waitingForEffects;
    // a track the game asked for while that thread was still setting the mixer up: it
    // starts at the first update() that finds the mixer ready (-1: none)
    int pendingTrack;

    explicit VekApu(Nes* nes);
    ~VekApu();

    // program start-up: the audio add-on, the codecs, the mixer and the decoded effects are
    // made on a thread of their own while the first frames are made; the player made
    // afterwards takes them over. Without this the player sets up its effects itself.
    // `held` is a developer hook for the tests: the thread waits before it begins until
    // releaseAudioStart(). The program never holds it.
    static void startAudio(bool held = false);
    static void releaseAudioStart();
    // waits for that thread and reports what failed; returns whether audio is installed
    static bool finishStartingAudio();

    // music
    void playMusic(int track);
    void stopMusic();
    void pauseMusic();   // the game's pause and resume
    void resumeMusic();
    void setHostPaused(bool on);
    bool isMusicPlaying() const;
    void fadeOutMusic();
    void forceMusicLoop();
    void update();
    void setMusicVolume(float volume);

    // effects
    void setSfxVolume(float volume);
    void playSfx(int sfx, int pitch);

private:
    // what the start-up thread made, taken over: the mixer (and the voices on it), then
    // the effects
    void takeOverSound();
    void startPendingTrack();
    void takeOverEffects();
    void reportMissingEffects();
    void createVoices();
};

}  // namespace nes
}  // namespace vek
