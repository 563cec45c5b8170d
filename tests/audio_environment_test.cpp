// Whatever test installed Allegro's audio, it is uninstalled before the process ends, as the
// program's main does: OpenAL torn down by its own exit handler with a device still open
// aborts the process.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_audio.h>

namespace {

class AudioShutdown : public testing::Environment {
public:
    void TearDown() override {
        if (al_is_audio_installed()) al_uninstall_audio();
    }
};

const testing::Environment* const g_audioShutdown = testing::AddGlobalTestEnvironment(new AudioShutdown);

}  // namespace

// Allegro's OpenAL voice keeps the record of its mixing thread after the audio add-on is
// uninstalled: the leak is the library's, once per process, and not ours to report.
extern "C" const char* __lsan_default_suppressions() { return "leak:al_create_thread\n"; }
