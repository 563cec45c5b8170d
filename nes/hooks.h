#pragma once

#include <functional>

namespace vek {
namespace nes {

class Nes;

// Watches the CPU's JSR and absolute JMP targets for the entry points of the game's
// sound driver and turns them into calls of the music and effects player.
class Hooks {
public:
    // sound-driver entry points in the cartridge program
    static constexpr unsigned int PLAY_MUSIC = 0x91C9;
    static constexpr unsigned int START_OR_STOP_MUSIC = 0x9100;
    static constexpr unsigned int START_OR_STOP_MUSIC_2 = 0x912E;
    static constexpr unsigned int FADE_OUT_MUSIC = 0x91C5;
    static constexpr unsigned int FORCE_MUSIC_LOOP = 0x91C8;
    static constexpr unsigned int PAUSE_MUSIC = 0x9208;
    static constexpr unsigned int RESUME_MUSIC = 0x9215;
    static constexpr unsigned int PLAY_SFX_PITCHED = 0x9230;
    static constexpr unsigned int PLAY_SFX = 0x9232;

    Nes* nes;
    int pendingMusic;
    // called with the entry point before each sound-driver call is played (developer tools
    // log them); the CPU's registers still hold the call's arguments
    std::function<void(unsigned int entry)> listener;

    explicit Hooks(Nes* nes);
    ~Hooks();

    static bool isEntry(unsigned int target);
    void jmpJsrCallback(unsigned int target);
};

}  // namespace nes
}  // namespace vek
