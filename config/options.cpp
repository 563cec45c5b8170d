// The option table: every setting of the program, in the order of the lines of
// "Ember Spire.cfg", with its default and the comment written above it, and the ranges
// that loaded values are held to.

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/util.h"
#include "config/config.h"

namespace vek {

namespace {

const char* const BUTTON_NAMES[Config::NUM_BUTTONS] = {
    "Left", "Right", "Up", "Down", "A", "B", "Start", "Select",
};

// player 1 plays on the keyboard: keycode x 16 + 1, keycodes of Allegro 5
const uint32_t PLAYER1_DEFAULT_CODES[Config::NUM_BUTTONS] = {
    1313,  // Left: ALLEGRO_KEY_LEFT (82)
    1329,  // Right: ALLEGRO_KEY_RIGHT (83)
    1345,  // Up: ALLEGRO_KEY_UP (84)
    1361,  // Down: ALLEGRO_KEY_DOWN (85)
    17,    // A: ALLEGRO_KEY_A (1)
    65,    // B: ALLEGRO_KEY_D (4)
    369,   // Start: ALLEGRO_KEY_W (23)
    305,   // Select: ALLEGRO_KEY_S (19)
};

const char* const COMMENT_HEADER =
    "Close the game before making manual changes here!\n"
    "Some of these values cannot be accessed via the in-game configuration dialogs\n"
    "or the available options for them are limited, editing this file directly may\n"
    "be the only way to adjust them to your liking.\n"
    "\n"
    "You can't write comments like these yourself, they will be deleted the\n"
    "next time the game saves the config (sorry!)\n"
    "\n"
    "\n"
    "Video settings";

const char* const COMMENT_FULLSCREEN_SIZE = "fullscreen resolution - currently does nothing";

const char* const COMMENT_OVERSCAN =
    "overscan; cut off additional pixels on top/bottom. Back in the day, NTSC TVs cut off "
    "roughly 8 pixels on both screen edges while PAL TVs did not; after changing this value, "
    "you may have to re-set the scaling in the game menu for the changes to take effect";

const char* const COMMENT_VSYNC = "vsync; 0=default, 1=on, 2=off";
const char* const COMMENT_HARDWARE = "hardwareAcceleration; 0=default, 1=on, 2=off";
const char* const COMMENT_RENDER = "renderMethod; 0=double buffering, 1=single buffer";
const char* const COMMENT_SWAP = "swapMethod; 1=copy; 2=flip";

const char* const COMMENT_ZOOM =
    "zoom; -1: automatic(stretch, keep aspect ratio), 0: automatic(integral scaling, "
    "square&clean pixels), 1: 1x zoom, 2: 2x zoom, ...";

const char* const COMMENT_CONTROLLER =
    "If set to 0, the user will be asked to configure a controller on startup";

const char* const COMMENT_AUDIO = "\n\nAudio settings";

const char* const COMMENT_INPUT =
    "\n"
    "\n"
    "Input settings\n"
    "\n"
    "If movement of your gamepad's analog stick is not registered, lower this value.\n"
    "If movement is registered without touching the stick, raise this value.";

// Ranges of loaded values. A window position beyond what a desktop can hold means
// "no position known"; picture sizes stay small enough that a display of that size can
// be created; overscan always leaves most of the picture; the zoom stays within the modes
// the video settings offer.
const int MAX_POSITION = 32767;
const int MAX_VIEWPORT_SIZE = 8192;
const int MAX_OVERSCAN = 64;
const int MAX_ZOOM = 16;
const int MAX_VOLUME = 100;
const double MIN_AXIS_THRESHOLD = 0.001;
const double MAX_AXIS_THRESHOLD = 1.0;

const int DEFAULT_VIEWPORT_W = 768;
const int DEFAULT_VIEWPORT_H = 720;
const int DEFAULT_VSYNC = 2;
const int DEFAULT_HARDWARE_ACCELERATION = 2;
const int DEFAULT_RENDER_METHOD = 1;
const int DEFAULT_SWAP_METHOD = 1;
const double DEFAULT_AXIS_THRESHOLD = 0.11;

}  // namespace

void Config::loadDefaultValues() {
    // a second call starts the registry over instead of running past its end
    memset(options, 0, sizeof(options));
    numOptions = 0;

    registerOptionInt("windowViewportX", &windowViewportX, NO_POSITION, COMMENT_HEADER);
    registerOptionInt("windowViewportY", &windowViewportY, NO_POSITION, "");
    registerOptionInt("windowViewportW", &windowViewportW, DEFAULT_VIEWPORT_W, "");
    registerOptionInt("windowViewportH", &windowViewportH, DEFAULT_VIEWPORT_H, "");
    registerOptionInt("fullscreen", &fullscreen, 0, "");
    registerOptionInt("fullscreenViewportX", &fullscreenViewportX, NO_POSITION, "");
    registerOptionInt("fullscreenViewportY", &fullscreenViewportY, NO_POSITION, "");
    registerOptionInt("fullscreenViewportW", &fullscreenViewportW, DEFAULT_VIEWPORT_W, "");
    registerOptionInt("fullscreenViewportH", &fullscreenViewportH, DEFAULT_VIEWPORT_H, "");
    registerOptionInt("fullscreenW", &fullscreenW, 0, COMMENT_FULLSCREEN_SIZE);
    registerOptionInt("fullscreenH", &fullscreenH, 0, "");
    registerOptionColor("borderColor", &borderColor, 0x111111, "");
    registerOptionInt("overscanTop", &overscanTop, 0, COMMENT_OVERSCAN);
    registerOptionInt("overscanBottom", &overscanBottom, 0, "");
    registerOptionInt("vsync", &vsync, DEFAULT_VSYNC, COMMENT_VSYNC);
    registerOptionInt("hardwareAcceleration", &hardwareAcceleration,
                      DEFAULT_HARDWARE_ACCELERATION, COMMENT_HARDWARE);
    registerOptionInt("renderMethod", &renderMethod, DEFAULT_RENDER_METHOD, COMMENT_RENDER);
    registerOptionInt("swapMethod", &swapMethod, DEFAULT_SWAP_METHOD, COMMENT_SWAP);
    registerOptionInt("zoom", &zoom, -1, COMMENT_ZOOM);
    registerOptionInt("skipControllerConfig", &skipControllerConfig, 0, COMMENT_CONTROLLER);
    registerOptionInt("musicVolume", &musicVolume, 100, COMMENT_AUDIO);
    registerOptionInt("sfxVolume", &sfxVolume, 100, "");
    registerOption("joystickAxisThreshold", OPTION_DOUBLE, &joystickAxisThreshold, "0.11",
                   COMMENT_INPUT);

    for (int player = 0; player < NUM_PLAYERS; player++) {
        for (int button = 0; button < NUM_BUTTONS; button++) {
            char name[64];
            snprintf(name, sizeof(name), "player%dControl%s", player + 1, BUTTON_NAMES[button]);
            // one empty line above each player's block
            registerOption(name, OPTION_CONTROL, &controls[player][button], "",
                           button == 0 ? "\n" : "");
        }
    }

    for (int player = 0; player < NUM_PLAYERS; player++) {
        for (int button = 0; button < NUM_BUTTONS; button++) {
            structConfigControl* control = &controls[player][button];
            control->player = player;
            control->button = button;
            control->uid[0] = 0;
            control->conflict = false;
            control->joystick = nullptr;
            control->code = player == 0 ? PLAYER1_DEFAULT_CODES[button] : 0;
        }
    }
}

namespace {

bool clampInt(int* v, int lo, int hi) {
    if (*v < lo) {
        *v = lo;
        return true;
    }
    if (*v > hi) {
        *v = hi;
        return true;
    }
    return false;
}

bool rangeOrDefault(int* v, int lo, int hi, int fallback) {
    if (*v >= lo && *v <= hi) return false;
    *v = fallback;
    return true;
}

bool validPosition(int* v) {
    if (*v == Config::NO_POSITION || (*v >= -MAX_POSITION - 1 && *v <= MAX_POSITION))
        return false;
    *v = Config::NO_POSITION;
    return true;
}

}  // namespace

void Config::limitValues() {
    // every corrected value is reported with the text it will be saved as
    auto corrected = [this](const char* name) {
        structConfigOption* option = getOption(name);
        if (!option) return;
        char text[structConfigOption::VALUE_SIZE];
        formatValue(option, text, sizeof(text));
        Util::logF("  %s out of range, using %s\n", name, text);
    };

    if (validPosition(&windowViewportX)) corrected("windowViewportX");
    if (validPosition(&windowViewportY)) corrected("windowViewportY");
    if (validPosition(&fullscreenViewportX)) corrected("fullscreenViewportX");
    if (validPosition(&fullscreenViewportY)) corrected("fullscreenViewportY");

    if (rangeOrDefault(&windowViewportW, 1, MAX_VIEWPORT_SIZE, DEFAULT_VIEWPORT_W))
        corrected("windowViewportW");
    if (rangeOrDefault(&windowViewportH, 1, MAX_VIEWPORT_SIZE, DEFAULT_VIEWPORT_H))
        corrected("windowViewportH");
    if (rangeOrDefault(&fullscreenViewportW, 1, MAX_VIEWPORT_SIZE, DEFAULT_VIEWPORT_W))
        corrected("fullscreenViewportW");
    if (rangeOrDefault(&fullscreenViewportH, 1, MAX_VIEWPORT_SIZE, DEFAULT_VIEWPORT_H))
        corrected("fullscreenViewportH");

    // any non-zero value means full screen; the menus only know 0 and 1
    if (fullscreen != 0 && fullscreen != 1) {
        fullscreen = 1;
        corrected("fullscreen");
    }

    if (borderColor > 0xFFFFFF) {
        borderColor &= 0xFFFFFF;
        corrected("borderColor");
    }

    if (clampInt(&overscanTop, 0, MAX_OVERSCAN)) corrected("overscanTop");
    if (clampInt(&overscanBottom, 0, MAX_OVERSCAN)) corrected("overscanBottom");

    if (rangeOrDefault(&vsync, 0, 2, DEFAULT_VSYNC)) corrected("vsync");
    if (rangeOrDefault(&hardwareAcceleration, 0, 2, DEFAULT_HARDWARE_ACCELERATION))
        corrected("hardwareAcceleration");
    if (rangeOrDefault(&renderMethod, 0, 1, DEFAULT_RENDER_METHOD)) corrected("renderMethod");
    if (rangeOrDefault(&swapMethod, 0, 2, DEFAULT_SWAP_METHOD)) corrected("swapMethod");
    if (clampInt(&zoom, -1, MAX_ZOOM)) corrected("zoom");

    if (clampInt(&musicVolume, 0, MAX_VOLUME)) corrected("musicVolume");
    if (clampInt(&sfxVolume, 0, MAX_VOLUME)) corrected("sfxVolume");

    // a dead zone of 0 or less would count a resting stick as pushed, one beyond 1 would
    // never count it as pushed
    double t = joystickAxisThreshold;
    if (std::isnan(t)) t = DEFAULT_AXIS_THRESHOLD;
    else if (t <= 0.0) t = MIN_AXIS_THRESHOLD;
    else if (t > MAX_AXIS_THRESHOLD) t = MAX_AXIS_THRESHOLD;
    if (!(t == joystickAxisThreshold)) {
        joystickAxisThreshold = t;
        corrected("joystickAxisThreshold");
    }
}

}  // namespace vek
