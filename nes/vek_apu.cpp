#include "nes/vek_apu.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_acodec.h>
#include <allegro5/allegro_audio.h>

#include "app/util.h"

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace vek {
namespace nes {

const structSfxInfo SFX_INFO[NUM_SFX] = {
    {"sfx/emerald.ogg", 8},           {"sfx/spiderweb.ogg", 8},       {"sfx/destroy block.ogg", 8},
    {"sfx/hero jump.ogg", 6},         {"sfx/spell.ogg", 5},           {"sfx/spell2.ogg", 7},
    {"sfx/damage block.ogg", 6},      {"sfx/damage enemy.ogg", 6},    {"sfx/destroy enemy.ogg", 8},
    {"sfx/hero damage.ogg", 9},       {"sfx/hero head.ogg", 7},       {"sfx/hero bounce.ogg", 8},
    {"sfx/fairy.ogg", 9},             {"sfx/extinguish.ogg", 8},      {"sfx/boss dash.ogg", 10},
    {"sfx/boss inhale.ogg", 10},      {"sfx/open chest.ogg", 8},      {"sfx/duck flap.ogg", 7},
    {"sfx/goat bubble.ogg", 7},       {"sfx/troll spear.ogg", 7},     {"sfx/wstar.ogg", 9},
    {"sfx/checkpoint.ogg", 10},       {"sfx/spell charge.ogg", 8},    {"sfx/pause.ogg", 15},
    {"sfx/unpause.ogg", 15},          {"sfx/level exit.ogg", 10},     {"sfx/level exit2.ogg", 10},
    {"sfx/hero ghost.ogg", 9},        {"sfx/boss damage.ogg", 9},     {"sfx/portal.ogg", 8},
    {"sfx/spark.ogg", 8},             {"sfx/snake.ogg", 9},           {"sfx/boss dash charge.ogg", 10},
    {"sfx/willowisp scream.ogg", 9},
};

const structMusicInfo MUSIC_INFO[NUM_MUSIC] = {
    {"music/mysterious.ogg", true, 0, 0},
    {"music/heroic.ogg", true, 0, 0},
    {"music/spooky.ogg", true, 0, 0},
    {"music/dreamy.ogg", true, 1.596, 39.934},
    {"music/evil.ogg", true, 0, 0},
    {"music/intro.ogg", true, 15.174, 24.759},
    {"music/fanfare.ogg", false, 0, 0},
    {"music/boss.ogg", true, 0, 0},
    {"music/march.ogg", true, 0, 0},
};

const float VekApu::SFX_BASE_VOLUME = 1.0f;
const float VekApu::MUSIC_BASE_VOLUME = 0.85f;

// the dreamy track runs a hair slow: the single-precision value with bits 0x3F7F943F
static const float DREAMY_SPEED = 0.9983558f;
static const double FORCED_LOOP_POSITION = 1.596;
// the shortest stretch of sound a stream loops over
static const double MIN_LOOP_SECONDS = 0.1;

// The sound's start-up on a thread of its own, in two halves: the audio add-on, the codecs
// and the mixer first (the title music needs them), then, once the player has taken those
// over, the decoded effects, so that decoding does not compete with the first picture.
struct structAudioStart {
    ALLEGRO_THREAD* thread;
    ALLEGRO_MUTEX* mutex;
    ALLEGRO_COND* cond;
    bool held;       // the thread waits before it begins (tests)
    bool running;    // started and not yet joined
    bool waiting;    // made and not yet taken over by a player
    bool installed;  // the first half is done (under the mutex)
    bool decode;     // the second half may begin (under the mutex)
    bool reported;   // its failures are logged
    bool audio;      // al_install_audio
    bool codecs;     // al_init_acodec_addon
    bool reserved;   // al_reserve_samples: the default mixer exists
    ALLEGRO_SAMPLE* samples[NUM_SFX];
};
static structAudioStart g_audioStart;

// effects whose files are missing stay null
static void loadSamples(ALLEGRO_SAMPLE* samples[NUM_SFX]) {
    for (int i = 0; i < NUM_SFX; i++) samples[i] = al_load_sample(SFX_INFO[i].filename);
}

static void* startAudioThread(ALLEGRO_THREAD* thread, void*) {
    structAudioStart& a = g_audioStart;
    if (a.mutex) {
        al_lock_mutex(a.mutex);
        while (a.held) al_wait_cond(a.cond, a.mutex);
        al_unlock_mutex(a.mutex);
    }
    a.audio = al_install_audio();
    a.codecs = a.audio && al_init_acodec_addon();
    a.reserved = a.audio && al_reserve_samples(1);
    if (a.mutex) {
        al_lock_mutex(a.mutex);
        a.installed = true;
        al_broadcast_cond(a.cond);
        while (!a.decode) al_wait_cond(a.cond, a.mutex);
        al_unlock_mutex(a.mutex);
    }
    a.installed = true;
#ifdef __linux__
    // nothing needs the effects before the first one plays: their decoding gives way to the
    // frames being made (on its own thread only, never on the caller's)
    if (thread) setpriority(PRIO_PROCESS, (id_t)syscall(SYS_gettid), 10);
#endif
    if (a.audio) loadSamples(a.samples);
    return nullptr;
}

// sets one of the start-up's flags under its lock and wakes the thread waiting on it
static void setAndWake(bool& flag, bool value) {
    structAudioStart& a = g_audioStart;
    if (!a.thread) return;
    al_lock_mutex(a.mutex);
    flag = value;
    al_broadcast_cond(a.cond);
    al_unlock_mutex(a.mutex);
}

// lets the start-up thread go on to the effects
static void allowDecoding() { setAndWake(g_audioStart.decode, true); }

void VekApu::startAudio(bool held) {
    structAudioStart& a = g_audioStart;
    if (a.running || a.waiting) return;
    for (int i = 0; i < NUM_SFX; i++) a.samples[i] = nullptr;
    a.running = a.waiting = true;
    a.held = held;
    a.installed = a.reported = a.decode = false;
    a.mutex = al_create_mutex();
    a.cond = al_create_cond();
    a.thread = a.mutex && a.cond ? al_create_thread(startAudioThread, nullptr) : nullptr;
    if (a.thread) {
        al_start_thread(a.thread);
    } else {
        // no thread: everything happens here and now
        if (a.cond) al_destroy_cond(a.cond);
        if (a.mutex) al_destroy_mutex(a.mutex);
        a.cond = nullptr;
        a.mutex = nullptr;
        startAudioThread(nullptr, nullptr);
    }
}

// whether the first half of the start-up is done, without waiting for it
static bool audioInstalled() {
    structAudioStart& a = g_audioStart;
    if (!a.running || !a.thread) return true;
    al_lock_mutex(a.mutex);
    const bool installed = a.installed;
    al_unlock_mutex(a.mutex);
    return installed;
}

void VekApu::releaseAudioStart() { setAndWake(g_audioStart.held, false); }

// Waits for the first half of the start-up and logs what failed in it.
static bool waitForAudio() {
    structAudioStart& a = g_audioStart;
    if (!a.running) return al_is_audio_installed();
    if (a.thread) {
        al_lock_mutex(a.mutex);
        while (!a.installed) al_wait_cond(a.cond, a.mutex);
        al_unlock_mutex(a.mutex);
    }
    if (!a.reported) {
        a.reported = true;
        if (!a.audio) Util::logErrorF("al_install_audio failed!\n");
        if (!a.codecs) Util::logErrorF("al_init_acodec_addon failed!\n");
    }
    return a.audio;
}

bool VekApu::finishStartingAudio() {
    structAudioStart& a = g_audioStart;
    if (!a.running) return al_is_audio_installed();
    bool audio = waitForAudio();
    allowDecoding();
    if (a.thread) {
        al_join_thread(a.thread, nullptr);
        al_destroy_thread(a.thread);
    }
    if (a.cond) al_destroy_cond(a.cond);
    if (a.mutex) al_destroy_mutex(a.mutex);
    a.thread = nullptr;
    a.cond = nullptr;
    a.mutex = nullptr;
    a.running = false;
    return audio;
}

VekApu::VekApu(Nes* nes)
    : nes(nes),
      musicStream(nullptr),
      fadeOut(0),
      musicVolume(1.0f),
      sfxVolume(1.0f),
      gamePaused(false),
      hostPaused(false),
      waitingForSound(false),
      waitingForEffects(false),
      pendingTrack(-1) {
    for (int i = 0; i < NUM_SFX; i++) samples[i] = nullptr;
    for (int v = 0; v < NUM_VOICES; v++) {
        voices[v].instance = nullptr;
        voices[v].sfx = -1;
    }
    // At the program's start the sound is still coming up on its own thread: the player
    // takes the mixer over when it is first asked to sound (the title music starts with the
    // first picture) and the effects when the first effect plays.
    if (g_audioStart.waiting) {
        waitingForSound = waitingForEffects = true;
        return;
    }
    // without the audio add-on (a headless tool) every step fails the same way it would on a
    // machine with no sound: logged, and the player stays silent
    const bool audio = al_is_audio_installed();
    if (!audio || !al_reserve_samples(1)) Util::logErrorF("VekApu: al_reserve_samples failed\n");
    if (audio) loadSamples(samples);
    reportMissingEffects();
    createVoices();
}

void VekApu::takeOverSound() {
    if (!waitingForSound) return;
    waitingForSound = false;
    if (!waitForAudio() || !g_audioStart.reserved) Util::logErrorF("VekApu: al_reserve_samples failed\n");
    createVoices();
    allowDecoding();
}

void VekApu::takeOverEffects() {
    takeOverSound();
    if (!waitingForEffects) return;
    waitingForEffects = false;
    finishStartingAudio();
    for (int i = 0; i < NUM_SFX; i++) samples[i] = g_audioStart.samples[i];
    g_audioStart.waiting = false;
    reportMissingEffects();
}

void VekApu::reportMissingEffects() {
    for (int i = 0; i < NUM_SFX; i++) {
        if (!samples[i]) Util::logErrorF("VekApu: Could not load sound effect %d (%s)\n", i, SFX_INFO[i].filename);
    }
}

void VekApu::createVoices() {
    for (int v = 0; v < NUM_VOICES && al_is_audio_installed(); v++) {
        ALLEGRO_SAMPLE_INSTANCE* instance = al_create_sample_instance(nullptr);
        if (!instance) {
            Util::logErrorF("VekApu: al_create_sample_instance failed\n");
            continue;
        }
        ALLEGRO_MIXER* mixer = al_get_default_mixer();
        if (!mixer || !al_attach_sample_instance_to_mixer(instance, mixer)) {
            Util::logErrorF("VekApu: al_attach_sample_instance_to_mixer failed\n");
            al_destroy_sample_instance(instance);
            continue;
        }
        voices[v].instance = instance;
    }
}

VekApu::~VekApu() {
    takeOverEffects();
    if (musicStream) {
        al_destroy_audio_stream(musicStream);
        musicStream = nullptr;
    }
    for (int v = 0; v < NUM_VOICES; v++) {
        if (voices[v].instance) {
            al_destroy_sample_instance(voices[v].instance);
            voices[v].instance = nullptr;
        }
    }
    for (int i = 0; i < NUM_SFX; i++) {
        if (samples[i]) {
            al_destroy_sample(samples[i]);
            samples[i] = nullptr;
        }
    }
}

void VekApu::playMusic(int track) {
    if (track < 0 || track >= NUM_MUSIC) return;
    fadeOut = 0;
    gamePaused = false;  // as in the driver, a new track starts unpaused
    pendingTrack = -1;
    // the picture does not wait for the sound system (a sound server can take a while to
    // answer): the track starts as soon as the mixer is there
    if (waitingForSound && !audioInstalled()) {
        pendingTrack = track;
        return;
    }
    takeOverSound();
    if (musicStream) {
        al_set_audio_stream_playing(musicStream, false);
        al_destroy_audio_stream(musicStream);
        musicStream = nullptr;
    }

    const structMusicInfo& info = MUSIC_INFO[track];
    musicStream = al_is_audio_installed() ? al_load_audio_stream(info.filename, 4, 1024) : nullptr;
    if (!musicStream) {
        Util::logErrorF("VekApu::playMusic() Could not load music track %d (%s)\n", track, info.filename);
        return;
    }
    if (!al_set_audio_stream_gain(musicStream, MUSIC_BASE_VOLUME * musicVolume))
        Util::logErrorF("VekApu::playMusic() al_set_audio_stream_gain failed\n");

    // The loop is checked against what the file really holds: the stream's feeder would seek
    // to a loop start beyond the end (a truncated download) for ever, and never let the
    // stream be destroyed. Such a track loops whole; one with no sound at all plays once.
    const double length = al_get_audio_stream_length_secs(musicStream);
    bool loop = info.loop;
    bool loopPoints = loop && info.loopStart > 0;
    if (loop && !(length >= MIN_LOOP_SECONDS)) {
        Util::logErrorF("VekApu::playMusic() Music track %d (%s) is %.3f s long, too short to loop: it plays once\n",
                        track, info.filename, length);
        loop = loopPoints = false;
    } else if (loopPoints && !(length - info.loopStart >= MIN_LOOP_SECONDS)) {
        Util::logErrorF("VekApu::playMusic() Music track %d (%s) is %.3f s long, too short for its loop from "
                        "%.3f s: it loops whole\n",
                        track, info.filename, length, info.loopStart);
        loopPoints = false;
    }
    if (loop) {
        al_set_audio_stream_playmode(musicStream, ALLEGRO_PLAYMODE_LOOP);
        if (loopPoints) al_set_audio_stream_loop_secs(musicStream, info.loopStart, info.loopEnd);
        if (track == 3) al_set_audio_stream_speed(musicStream, DREAMY_SPEED);
    } else {
        al_set_audio_stream_playmode(musicStream, ALLEGRO_PLAYMODE_ONCE);
    }

    al_set_audio_stream_playing(musicStream, !hostPaused);
    ALLEGRO_MIXER* mixer = al_get_default_mixer();
    if (mixer) al_attach_audio_stream_to_mixer(musicStream, mixer);
}

void VekApu::stopMusic() {
    fadeOut = 0;
    gamePaused = false;
    pendingTrack = -1;
    if (musicStream) {
        al_set_audio_stream_playing(musicStream, false);
        al_destroy_audio_stream(musicStream);
        musicStream = nullptr;
    }
}

void VekApu::pauseMusic() {
    gamePaused = true;
    if (musicStream) al_set_audio_stream_playing(musicStream, false);
}

void VekApu::resumeMusic() {
    gamePaused = false;
    if (musicStream) al_set_audio_stream_playing(musicStream, !hostPaused);
}

void VekApu::setHostPaused(bool on) {
    hostPaused = on;
    if (musicStream) al_set_audio_stream_playing(musicStream, !gamePaused && !hostPaused);
}

bool VekApu::isMusicPlaying() const {
    if (pendingTrack >= 0) return !gamePaused && !hostPaused;
    return musicStream && al_get_audio_stream_playing(musicStream);
}

void VekApu::fadeOutMusic() { fadeOut = 1; }

void VekApu::forceMusicLoop() {
    if (musicStream) al_seek_audio_stream_secs(musicStream, FORCED_LOOP_POSITION);
}

void VekApu::update() {
    if (pendingTrack >= 0 && audioInstalled()) startPendingTrack();
    if (fadeOut > 0 && fadeOut < 256) fadeOut++;
}

// the track asked for while the mixer was being set up, started with what the game did to
// it meanwhile (paused it, began its fade)
void VekApu::startPendingTrack() {
    const int track = pendingTrack;
    const bool paused = gamePaused;
    const int fade = fadeOut;
    playMusic(track);
    if (paused) pauseMusic();
    fadeOut = fade;
    setMusicVolume(musicVolume);
}

void VekApu::setMusicVolume(float volume) {
    if (musicStream && (volume != musicVolume || fadeOut > 0)) {
        float gain = (256 - fadeOut) / 256.0f * MUSIC_BASE_VOLUME * volume;
        if (!al_set_audio_stream_gain(musicStream, gain))
            Util::logErrorF("VekApu::setMusicVolume() al_set_audio_stream_gain failed\n");
    }
    musicVolume = volume;
}

void VekApu::setSfxVolume(float volume) { sfxVolume = volume; }

void VekApu::playSfx(int sfx, int pitch) {
    takeOverEffects();
    if (sfxVolume <= 0 || sfx < 0 || sfx >= NUM_SFX || !samples[sfx]) return;

    int chosen = -1;
    for (int v = 0; v < NUM_VOICES && chosen < 0; v++) {
        if (voices[v].instance && !al_get_sample_instance_playing(voices[v].instance)) chosen = v;
    }
    if (chosen < 0) {
        for (int v = 0; v < NUM_VOICES && chosen < 0; v++) {
            int current = voices[v].sfx;
            if (voices[v].instance && current >= 0 && current < NUM_SFX &&
                SFX_INFO[current].priority <= SFX_INFO[sfx].priority)
                chosen = v;
        }
    }
    if (chosen < 0) return;

    // one effect never sounds twice at the same time
    for (int v = 0; v < NUM_VOICES; v++) {
        if (voices[v].instance && voices[v].sfx == sfx) al_stop_sample_instance(voices[v].instance);
    }

    Voice& voice = voices[chosen];
    voice.sfx = sfx;
    al_set_sample(voice.instance, samples[sfx]);
    al_set_sample_instance_gain(voice.instance, SFX_BASE_VOLUME * sfxVolume);
    float speed = (float)(1.0 + 0.05 * pitch);
    if (speed < 0.4f) speed = 0.4f;
    al_set_sample_instance_speed(voice.instance, speed);
    al_set_sample_instance_playing(voice.instance, true);
}

}  // namespace nes
}  // namespace vek
