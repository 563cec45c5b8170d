#include <allegro5/allegro_audio.h>

#include "app/emulator_main.h"

int main(int, char**) {
    vek::EmulatorMain* emulatorMain = new vek::EmulatorMain();
    int result = emulatorMain->start();
    delete emulatorMain;
    if (al_is_audio_installed()) al_uninstall_audio();
    return result;
}
