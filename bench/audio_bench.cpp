// The sound player's start-up: constructing it decodes all 34 effects from the game
// directory into memory. Counters: the memory the decoded effects take and their total
// playing time. Target: construction well under the time of one second of start-up
// (100 ms), and effect memory under 4 MiB.

#include <benchmark/benchmark.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_acodec.h>
#include <allegro5/allegro_audio.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "nes/vek_apu.h"

namespace {

// audio on the null device, and the working directory at the build's game folder, which
// lies beside the folder of this executable
bool audioReady() {
    static int ready = -1;
    if (ready >= 0) return ready == 1;
    ready = 0;
    setenv("ALSOFT_DRIVERS", "null", 0);
    if (!al_install_system(ALLEGRO_VERSION_INT, nullptr) || !al_install_audio() || !al_init_acodec_addon()) return false;
    // OpenAL must not find its device still open when the process ends
    std::atexit([] {
        if (al_is_audio_installed()) al_uninstall_audio();
    });
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (n <= 0) return false;
    exe[n] = '\0';
    std::string dir(exe);
    dir = dir.substr(0, dir.rfind('/')) + "/../game";
    struct stat st;
    if (stat((dir + "/" + vek::nes::SFX_INFO[0].filename).c_str(), &st) != 0 || chdir(dir.c_str()) != 0) return false;
    ready = 1;
    return true;
}

void BM_PlayerConstruction(benchmark::State& state) {
    if (!audioReady()) {
        state.SkipWithError("no audio add-on or no sound files");
        return;
    }
    double bytes = 0, seconds = 0;
    for (auto _ : state) {
        vek::nes::VekApu* apu = new vek::nes::VekApu(nullptr);
        benchmark::DoNotOptimize(apu->samples[vek::nes::NUM_SFX - 1]);
        state.PauseTiming();
        bytes = seconds = 0;
        for (ALLEGRO_SAMPLE* s : apu->samples) {
            if (!s) continue;
            double frames = al_get_sample_length(s);
            bytes += frames * al_get_channel_count(al_get_sample_channels(s)) * al_get_audio_depth_size(al_get_sample_depth(s));
            seconds += frames / al_get_sample_frequency(s);
        }
        delete apu;
        state.ResumeTiming();
    }
    state.counters["effects_KiB"] = bytes / 1024.0;
    state.counters["effects_s"] = seconds;
}
BENCHMARK(BM_PlayerConstruction)->Unit(benchmark::kMillisecond);

// starting an effect on a busy voice (the highest priority takes one every time): no file
// access, no decoding
void BM_PlayEffect(benchmark::State& state) {
    if (!audioReady()) {
        state.SkipWithError("no audio add-on or no sound files");
        return;
    }
    vek::nes::VekApu apu(nullptr);
    const int PAUSE = 23, UNPAUSE = 24;
    apu.playSfx(PAUSE, 0);
    apu.playSfx(UNPAUSE, 0);
    apu.playSfx(21, 0);
    int sfx = PAUSE;
    for (auto _ : state) {
        apu.playSfx(sfx, 0);
        sfx = sfx == PAUSE ? UNPAUSE : PAUSE;
    }
}
BENCHMARK(BM_PlayEffect)->Unit(benchmark::kMicrosecond);

}  // namespace
