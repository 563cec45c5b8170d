// The program as shipped, except that its next N re-creations of the display fail as if the
// system had refused them: the end-to-end test of a screen-mode switch that finds no display.
// usage: failing-display N   (run in the directory the program would run in)
#include <allegro5/allegro_audio.h>

#include <cstdlib>

#include "app/emulator_main.h"

int main(int argc, char** argv) {
    vek::EmulatorMain* emulatorMain = new vek::EmulatorMain();
    emulatorMain->failDisplayRecreations = argc > 1 ? std::atoi(argv[1]) : 1;
    int result = emulatorMain->start();
    delete emulatorMain;
    if (al_is_audio_installed()) al_uninstall_audio();
    return result;
}
