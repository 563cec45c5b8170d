#pragma once

// Allegro's audio on OpenAL's silent device, the directory the program runs from, and small
// helpers for looking at decoded sound.

#include <allegro5/allegro.h>
#include <allegro5/allegro_acodec.h>
#include <allegro5/allegro_audio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace vektest {

// Installs the system, the audio add-on (on the null device unless a driver is already chosen)
// and the codecs. Returns false when this machine has no audio at all.
inline bool installAudio() {
    setenv("ALSOFT_DRIVERS", "null", 0);
    if (!al_install_system(ALLEGRO_VERSION_INT, nullptr)) return false;
    if (!al_install_audio()) return false;
    return al_init_acodec_addon();
}

// Uninstalls the audio add-on again: OpenAL must not be left with an open device when the
// process ends.
inline void uninstallAudio() {
    if (al_is_audio_installed()) al_uninstall_audio();
}

// Changes into a directory for the lifetime of the object.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir) {
        ok = getcwd(old, sizeof(old)) != nullptr && chdir(dir.c_str()) == 0;
    }
    ~ScopedCwd() {
        if (ok && chdir(old) != 0) std::abort();
    }
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;
    bool ok;

private:
    char old[4096];
};

// A fresh empty directory under /tmp, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/vek-audio-XXXXXX";
        char* p = mkdtemp(tmpl);
        path = p ? p : "";
    }
    ~TempDir() {
        if (!path.empty()) {
            std::string cmd = "rm -rf '" + path + "'";
            if (std::system(cmd.c_str()) != 0) {
            }
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path;
};

// The samples of a decoded mono or stereo 16-bit sample as floats (stereo is averaged).
inline std::vector<float> sampleFrames(ALLEGRO_SAMPLE* spl) {
    std::vector<float> out;
    if (!spl || al_get_sample_depth(spl) != ALLEGRO_AUDIO_DEPTH_INT16) return out;
    int channels = al_get_channel_count(al_get_sample_channels(spl));
    const int16_t* data = (const int16_t*)al_get_sample_data(spl);
    unsigned int n = al_get_sample_length(spl);
    out.resize(n);
    for (unsigned int i = 0; i < n; i++) {
        float s = 0;
        for (int c = 0; c < channels; c++) s += data[i * channels + c] / 32768.0f;
        out[i] = s / channels;
    }
    return out;
}

inline double rms(const std::vector<float>& s, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, s.size());
    if (to <= from) return 0;
    double sum = 0;
    for (size_t i = from; i < to; i++) sum += (double)s[i] * s[i];
    return std::sqrt(sum / (double)(to - from));
}

}  // namespace vektest
