#include "nes/hooks.h"

#include "app/util.h"
#include "nes/cpu.h"
#include "nes/nes.h"
#include "nes/vek_apu.h"

namespace vek {
namespace nes {

Hooks::Hooks(Nes* nes) : nes(nes), pendingMusic(-1) {}

Hooks::~Hooks() {}

bool Hooks::isEntry(unsigned int target) {
    switch (target) {
        case PLAY_MUSIC:
        case START_OR_STOP_MUSIC:
        case START_OR_STOP_MUSIC_2:
        case FADE_OUT_MUSIC:
        case FORCE_MUSIC_LOOP:
        case PAUSE_MUSIC:
        case RESUME_MUSIC:
        case PLAY_SFX_PITCHED:
        case PLAY_SFX: return true;
        default: return false;
    }
}

void Hooks::jmpJsrCallback(unsigned int target) {
    const Cpu* cpu = nes->cpu;
    VekApu* apu = nes->vekApu;
    if (listener && isEntry(target)) listener(target);
    switch (target) {
        case PLAY_MUSIC:
            // only recorded: the driver's next start-or-stop call starts it
            Util::logF("jsr-hook $%02X (play music)\n", target);
            pendingMusic = (int)cpu->a;
            break;
        case START_OR_STOP_MUSIC:
        case START_OR_STOP_MUSIC_2:
            if (pendingMusic != -1) {
                apu->playMusic(pendingMusic);
                pendingMusic = -1;
            } else {
                Util::logF("jsr-hook $%02X (stop music)\n", target);
                apu->stopMusic();
            }
            break;
        case FADE_OUT_MUSIC:
            Util::logF("jsr-hook $%02X (fade out music)\n", target);
            apu->fadeOutMusic();
            break;
        case FORCE_MUSIC_LOOP: apu->forceMusicLoop(); break;
        case PAUSE_MUSIC:
            Util::logF("jsr-hook $%02X (pause music)\n", target);
            apu->pauseMusic();
            break;
        case RESUME_MUSIC:
            Util::logF("jsr-hook $%02X (resume music)\n", target);
            apu->resumeMusic();
            break;
        case PLAY_SFX_PITCHED: apu->playSfx((int)cpu->a, (signed char)cpu->y); break;
        case PLAY_SFX: apu->playSfx((int)cpu->a, 0); break;
        default: break;
    }
}

}  // namespace nes
}  // namespace vek
