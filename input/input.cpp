// al_clear_keyboard_state (Allegro 5.2.3 and later) is still marked unstable
#define ALLEGRO_UNSTABLE
#include "input/input.h"

#include <cstdio>
#include <cstring>

#include "app/util.h"
#include "config/config.h"
#include "gui/dialog.h"
#include "gui/gui.h"
#include "nes/nes.h"

namespace vek {

namespace {

// controller button index (Left, Right, Up, Down, A, B, Start, Select) -> console bits
const int BUTTON_BITS[8] = {64, 128, 16, 32, 1, 2, 8, 4};
// ... -> navigation key of a player-1 binding; Select navigates nowhere
const int BUTTON_NAVKEYS[8] = {NAVKEY_LEFT, NAVKEY_RIGHT, NAVKEY_UP, NAVKEY_DOWN,
                               NAVKEY_ACCEPT, NAVKEY_BACK, NAVKEY_BACK, -1};

// fixed keyboard navigation, keycodes 59 (Escape) to 85 (Down)
const int FIRST_NAV_KEYCODE = ALLEGRO_KEY_ESCAPE;
const int KEY_NAVKEYS[27] = {
    NAVKEY_BACK,                                  // 59 Escape
    -1, -1, -1, -1, -1, -1, -1,                   // 60-66
    NAVKEY_ACCEPT,                                // 67 Enter
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,   // 68-78
    -1, -1, -1,                                   // 79-81
    NAVKEY_LEFT, NAVKEY_RIGHT, NAVKEY_UP, NAVKEY_DOWN,  // 82-85 arrows
};

int keyToNavkey(int keycode) {
    int i = keycode - FIRST_NAV_KEYCODE;
    if (i < 0 || i >= (int)(sizeof(KEY_NAVKEYS) / sizeof(KEY_NAVKEYS[0]))) return -1;
    return KEY_NAVKEYS[i];
}

unsigned codeKind(unsigned code) { return code & 0xF; }
unsigned codeIndex(unsigned code) { return (code >> 4) & 0xFF; }
unsigned codeAxis(unsigned code) { return (code >> 12) & 0xFF; }
unsigned codeDirection(unsigned code) { return (code >> 20) & 0xF; }

bool sameUid(const char* a, const char* b) {
    return Util::stringEquals(a, b, Input::DEVICE_TEXT_SIZE);
}

}  // namespace

Input::Input(nes::Nes* nes, Config* config) : nes(nes), gui(nullptr), config(config) {
    for (int k = 0; k < ALLEGRO_KEY_MAX; k++) keyHeld[k] = false;
    reconfigureJoysticks();
    for (int i = 0; i < NUM_NAVKEYS; i++) navkeyState[i] = 0;
}

Input::~Input() {}

// ---- control codes and lookups

int Input::classifyAxis(float position) {
    const double t = config->joystickAxisThreshold;
    const double p = position;
    if (p <= -t) return AXIS_NEGATIVE;
    if (p >= t) return AXIS_POSITIVE;
    return AXIS_CENTRED;  // also for a position that is not a number
}

unsigned Input::encodeControl(int kind, int index, int axis, float position) {
    unsigned code = (unsigned)index * 16u + (unsigned)kind;
    if (kind != CONTROL_AXIS) return code;
    int direction = classifyAxis(position);
    if (direction == AXIS_CENTRED) return 0;
    return code + (unsigned)axis * 4096u + (unsigned)direction * 1048576u;
}

structConfigControl* Input::keyToControl(int keycode) {
    for (int p = 0; p < Config::NUM_PLAYERS; p++) {
        for (int b = 0; b < Config::NUM_BUTTONS; b++) {
            structConfigControl* c = &config->controls[p][b];
            if (codeKind(c->code) == CONTROL_KEY && (int)codeIndex(c->code) == keycode) return c;
        }
    }
    return nullptr;
}

structConfigControl* Input::buttonToControl(ALLEGRO_JOYSTICK* joystick, int button) {
    if (!joystick) return nullptr;
    for (int p = 0; p < Config::NUM_PLAYERS; p++) {
        for (int b = 0; b < Config::NUM_BUTTONS; b++) {
            structConfigControl* c = &config->controls[p][b];
            if (c->joystick == joystick && codeKind(c->code) == CONTROL_BUTTON &&
                (int)codeIndex(c->code) == button)
                return c;
        }
    }
    return nullptr;
}

structConfigControl* Input::findAxisControl(ALLEGRO_JOYSTICK* joystick, int stick, int axis,
                                            int direction) {
    if (!joystick || direction == AXIS_CENTRED) return nullptr;
    for (int p = 0; p < Config::NUM_PLAYERS; p++) {
        for (int b = 0; b < Config::NUM_BUTTONS; b++) {
            structConfigControl* c = &config->controls[p][b];
            if (c->joystick == joystick && codeKind(c->code) == CONTROL_AXIS &&
                (int)codeIndex(c->code) == stick && (int)codeAxis(c->code) == axis &&
                (int)codeDirection(c->code) == direction)
                return c;
        }
    }
    return nullptr;
}

structConfigControl* Input::axisToControl(ALLEGRO_JOYSTICK* joystick, int stick, int axis,
                                          float position) {
    return findAxisControl(joystick, stick, axis, classifyAxis(position));
}

int Input::controlToNavkey(structConfigControl* control) {
    if (!control || control->player != 0) return -1;
    if (control->button < 0 || control->button > 7) return -1;
    return BUTTON_NAVKEYS[control->button];
}

int Input::controlToNesButtons(structConfigControl* control) {
    if (!control || control->button < 0 || control->button > 7) return 0;
    return BUTTON_BITS[control->button];
}

Joystick* Input::getJoystick(ALLEGRO_JOYSTICK* joystick) {
    for (Joystick& j : joysticks) {
        if (j.joystick == joystick) return &j;
    }
    return nullptr;
}

void Input::getControlName(char* out, unsigned size, unsigned code) {
    if (size == 0) return;
    switch (codeKind(code)) {
    case CONTROL_KEY: {
        // Allegro names the keys once the keyboard is installed, in capitals ("J", "ENTER")
        // or as the window system does ("j", "Return"): they are shown in capitals
        const unsigned key = codeIndex(code);
        if (key > 0 && key < ALLEGRO_KEY_MAX && al_is_keyboard_installed()) {
            Util::strncpy0(out, al_keycode_to_name((int)key), size);
            for (char* c = out; *c; c++) {
                if (*c >= 'a' && *c <= 'z') *c = (char)(*c - 'a' + 'A');
            }
        } else {
            snprintf(out, size, "Key %u", key);
        }
        break;
    }
    case CONTROL_BUTTON:
        snprintf(out, size, "Button %u", codeIndex(code));
        break;
    case CONTROL_AXIS:
        snprintf(out, size, "Stick%u Axis%u %c", codeIndex(code), codeAxis(code),
                 codeDirection(code) == AXIS_NEGATIVE ? '-' : '+');
        break;
    default:
        snprintf(out, size, " ... ");
        break;
    }
}

void Input::getDeviceNameFromUid(char* out, unsigned size, const char* uid) {
    if (size == 0) return;
    out[0] = 0;
    const char* dash = strchr(uid, '-');
    if (dash) Util::strncpy0(out, dash + 1, size);
}

// ---- events

gui::Dialog* Input::topDialog() {
    if (!gui || gui->top < 0 || gui->top >= gui::Gui::MAX_DIALOGS) return nullptr;
    return gui->dialogs[gui->top];
}

void Input::handleAllegroEvent(ALLEGRO_EVENT* event) {
    // what is held is recorded in both modes, so that the console can be brought to match
    // it when a dialog opens or closes
    switch (event->type) {
    case ALLEGRO_EVENT_KEY_DOWN:
    case ALLEGRO_EVENT_KEY_UP: {
        const int k = event->keyboard.keycode;
        if (k > 0 && k < ALLEGRO_KEY_MAX) keyHeld[k] = event->type == ALLEGRO_EVENT_KEY_DOWN;
        break;
    }
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN:
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_UP: {
        Joystick* j = getJoystick(event->joystick.id);
        const int b = event->joystick.button;
        if (j && b >= 0 && b < Joystick::MAX_BUTTONS)
            j->buttonHeld[b] = event->type == ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN;
        break;
    }
    default:
        break;  // stick positions are kept in axisState by both modes
    }

    gui::Dialog* dialog = topDialog();
    if (dialog)
        handleDialogEvent(event, dialog);
    else
        handleGameEvent(event);
}

void Input::handleGameEvent(ALLEGRO_EVENT* event) {
    structConfigControl* b = nullptr;
    bool down = false;
    switch (event->type) {
    case ALLEGRO_EVENT_KEY_DOWN:
    case ALLEGRO_EVENT_KEY_UP:
        b = keyToControl(event->keyboard.keycode);
        down = event->type == ALLEGRO_EVENT_KEY_DOWN;
        break;
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN:
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_UP:
        b = buttonToControl(event->joystick.id, event->joystick.button);
        down = event->type == ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN;
        break;
    case ALLEGRO_EVENT_JOYSTICK_AXIS: {
        Joystick* j = getJoystick(event->joystick.id);
        const int stick = event->joystick.stick;
        const int axis = event->joystick.axis;
        if (!j || stick < 0 || axis < 0 || stick >= Joystick::MAX_STICKS || axis >= Joystick::MAX_AXES)
            return;
        const int now = classifyAxis(event->joystick.pos);
        const int old = j->axisState[stick][axis];
        if (now == old) return;
        j->axisState[stick][axis] = now;
        // release the side that was held before pressing the new one
        structConfigControl* released = findAxisControl(j->joystick, stick, axis, old);
        if (released && controlToNesButtons(released))
            nes->clearButtons(released->player, controlToNesButtons(released));
        structConfigControl* pressed = findAxisControl(j->joystick, stick, axis, now);
        if (pressed && controlToNesButtons(pressed))
            nes->setButtons(pressed->player, controlToNesButtons(pressed));
        return;
    }
    default:
        return;
    }
    if (!b) return;
    const int bits = controlToNesButtons(b);
    if (!bits) return;
    if (down)
        nes->setButtons(b->player, bits);
    else
        nes->clearButtons(b->player, bits);
}

// The navigation key goes to the dialog before the captured control of the same press.
void Input::handleDialogEvent(ALLEGRO_EVENT* event, gui::Dialog* dialog) {
    char uid[DEVICE_TEXT_SIZE];
    switch (event->type) {
    case ALLEGRO_EVENT_KEY_DOWN: {
        const int keycode = event->keyboard.keycode;
        const int n = keyToNavkey(keycode);
        if (n >= 0) {
            navkeyState[n] = 1;
            dialog->onKeyDown(n);
        }
        dialog->onControlDown(keycode * 16 + CONTROL_KEY, "");
        break;
    }
    case ALLEGRO_EVENT_KEY_UP: {
        const int n = keyToNavkey(event->keyboard.keycode);
        if (n >= 0) navkeyState[n] = 0;
        break;
    }
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN: {
        ALLEGRO_JOYSTICK* id = event->joystick.id;
        const int button = event->joystick.button;
        structConfigControl* b = buttonToControl(id, button);
        const int n = b ? controlToNavkey(b) : NAVKEY_UNBOUND_BUTTON;
        if (n >= 0) {
            navkeyState[n] = 1;
            dialog->onKeyDown(n);
        }
        // looked up again: the dialog may have rebuilt the gamepad list meanwhile
        Joystick* j = getJoystick(id);
        if (j) {
            Util::strncpy0(uid, j->uid, sizeof(uid));
            dialog->onControlDown(button * 16 + CONTROL_BUTTON, uid);
        }
        break;
    }
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_UP: {
        structConfigControl* b = buttonToControl(event->joystick.id, event->joystick.button);
        const int n = b ? controlToNavkey(b) : NAVKEY_UNBOUND_BUTTON;
        if (n >= 0) navkeyState[n] = 0;
        break;
    }
    case ALLEGRO_EVENT_JOYSTICK_AXIS: {
        ALLEGRO_JOYSTICK* id = event->joystick.id;
        Joystick* j = getJoystick(id);
        const int stick = event->joystick.stick;
        const int axis = event->joystick.axis;
        if (!j || stick < 0 || axis < 0 || stick >= Joystick::MAX_STICKS || axis >= Joystick::MAX_AXES)
            return;
        const int now = classifyAxis(event->joystick.pos);
        const int old = j->axisState[stick][axis];
        if (now == old) return;
        j->axisState[stick][axis] = now;
        if (old != AXIS_CENTRED) {
            const int n = controlToNavkey(findAxisControl(id, stick, axis, old));
            if (n >= 0) navkeyState[n] = 0;
        }
        if (now != AXIS_CENTRED) {
            const int n = controlToNavkey(findAxisControl(id, stick, axis, now));
            if (n >= 0) {
                navkeyState[n] = 1;
                dialog->onKeyDown(n);
            }
            j = getJoystick(id);
            Util::strncpy0(uid, j ? j->uid : "", sizeof(uid));
            dialog->onControlDown(now * 1048576 + axis * 4096 + stick * 16 + CONTROL_AXIS, uid);
        }
        break;
    }
    default:
        break;
    }
}

// Held Up and Down repeat on the 25th update after the press and then every 5th;
// Left and Right only count.
void Input::updateNavkeys() {
    for (int n = NAVKEY_LEFT; n <= NAVKEY_RIGHT; n++) {
        if (navkeyState[n] > 0) navkeyState[n]++;
    }
    for (int n = NAVKEY_UP; n <= NAVKEY_DOWN; n++) {
        const int s = navkeyState[n];
        if (s <= 0) continue;
        if (s > 24 && (s - 25) % 5 == 0) {
            gui::Dialog* dialog = topDialog();
            if (dialog) dialog->onKeyDown(n);
        }
        navkeyState[n]++;
    }
}

void Input::navkeyDown(int navkey, bool track) {
    if (navkey < 0 || navkey >= NUM_NAVKEYS) return;
    if (track) navkeyState[navkey] = 1;
    gui::Dialog* dialog = topDialog();
    if (dialog) dialog->onKeyDown(navkey);
}

void Input::navkeyUp(int navkey) {
    if (navkey < 0 || navkey >= NUM_NAVKEYS) return;
    navkeyState[navkey] = 0;
}

void Input::clearNavkeys() {
    for (int i = 0; i < NUM_NAVKEYS; i++) navkeyState[i] = 0;
}

// ---- held controls

bool Input::isKeyHeld(int keycode) const {
    return keycode > 0 && keycode < ALLEGRO_KEY_MAX && keyHeld[keycode];
}

// Each held control presses the binding that its events would press: the first one, in
// player-major order.
void Input::syncButtons() {
    int bits[Config::NUM_PLAYERS] = {0, 0, 0, 0};
    auto press = [&](structConfigControl* c) {
        if (c && c->player >= 0 && c->player < Config::NUM_PLAYERS) bits[c->player] |= controlToNesButtons(c);
    };
    for (int k = 1; k < ALLEGRO_KEY_MAX; k++) {
        if (keyHeld[k]) press(keyToControl(k));
    }
    for (const Joystick& j : joysticks) {
        for (int b = 0; b < Joystick::MAX_BUTTONS; b++) {
            if (j.buttonHeld[b]) press(buttonToControl(j.joystick, b));
        }
        for (int s = 0; s < Joystick::MAX_STICKS; s++) {
            for (int a = 0; a < Joystick::MAX_AXES; a++) {
                if (j.axisState[s][a] != AXIS_CENTRED) press(findAxisControl(j.joystick, s, a, j.axisState[s][a]));
            }
        }
    }
    for (int p = 0; p < Config::NUM_PLAYERS; p++) {
        nes->clearButtons(p, 0xFF);
        nes->setButtons(p, bits[p] & ~nes::BUTTON_START);
    }
}

void Input::clearKeyboardRecord() {
    if (al_is_keyboard_installed()) al_clear_keyboard_state(nullptr);
}

void Input::forgetKeys() {
    for (int k = 0; k < ALLEGRO_KEY_MAX; k++) keyHeld[k] = false;
    syncButtons();
}

// ---- gamepads

void Input::reconfigureJoysticks() {
    std::vector<structJoystickInfo> found;
    if (al_is_joystick_installed()) {
        al_reconfigure_joysticks();
        const int n = al_get_num_joysticks();
        for (int i = 0; i < n; i++) {
            ALLEGRO_JOYSTICK* js = al_get_joystick(i);
            if (!js) continue;
            structJoystickInfo info = {};
            info.joystick = js;
            info.numSticks = al_get_joystick_num_sticks(js);
            info.numButtons = al_get_joystick_num_buttons(js);
            for (int s = 0; s < 4 && s < info.numSticks; s++) {
                info.stickAxes[s] = al_get_joystick_num_axes(js, s);
                info.stickFlags[s] = al_get_joystick_stick_flags(js, s);
            }
            info.name = al_get_joystick_name(js);
            found.push_back(info);
        }
    }
    // a stick or button held across the rebuild keeps counting as held
    std::vector<ALLEGRO_JOYSTICK_STATE> states(found.size());
    for (size_t i = 0; i < found.size(); i++) {
        al_get_joystick_state(found[i].joystick, &states[i]);
        found[i].state = &states[i];
    }
    rebuildJoysticks(found);
}

// Every field is kept to its digits so that the name always starts at character 13.
void Input::makeDeviceText(char* out, const structJoystickInfo& info) {
    auto clampTo = [](int v, int max) { return v < 0 ? 0 : (v > max ? max : v); };
    int flags[4] = {0, 0, 0, 0};
    int axes[4] = {0, 0, 0, 0};
    for (int s = 0; s < 4 && s < info.numSticks; s++) {
        flags[s] = info.stickFlags[s] & (ALLEGRO_JOYFLAG_DIGITAL | ALLEGRO_JOYFLAG_ANALOGUE);
        axes[s] = clampTo(info.stickAxes[s], 15);
    }
    snprintf(out, DEVICE_TEXT_SIZE, "%02X%02X%01X%01X%01X%01X%01X%01X%01X%01X-",
             clampTo(info.numButtons, 255), clampTo(info.numSticks, 255), flags[0], axes[0],
             flags[1], axes[1], flags[2], axes[2], flags[3], axes[3]);
    Util::strncpy0(out + SIGNATURE_LENGTH, info.name ? info.name : "", MAX_NAME_LENGTH + 1);
}

void Input::rebuildJoysticks(const std::vector<structJoystickInfo>& found) {
    joysticks.clear();
    for (const structJoystickInfo& info : found) {
        if (!info.joystick) continue;
        Joystick j;
        memset(&j, 0, sizeof(j));
        j.joystick = info.joystick;
        makeDeviceText(j.uid, info);
        if (info.state) {
            for (int s = 0; s < _AL_MAX_JOYSTICK_STICKS && s < Joystick::MAX_STICKS; s++) {
                for (int a = 0; a < _AL_MAX_JOYSTICK_AXES && a < Joystick::MAX_AXES; a++)
                    j.axisState[s][a] = classifyAxis(info.state->stick[s].axis[a]);
            }
            for (int b = 0; b < _AL_MAX_JOYSTICK_BUTTONS && b < Joystick::MAX_BUTTONS; b++)
                j.buttonHeld[b] = info.state->button[b] != 0;
        }
        joysticks.push_back(j);
    }

    // identical pads: the second of a kind gets " #2", the third " #3", ...
    const size_t n = joysticks.size();
    for (size_t a = 0; a < n; a++) {
        for (size_t b = a + 1; b < n; b++) {
            if (!sameUid(joysticks[a].uid, joysticks[b].uid)) continue;
            char text[DEVICE_TEXT_SIZE];
            Util::strncpy0(text, joysticks[a].uid, sizeof(text));
            int k = 0;
            for (Joystick& j : joysticks) {
                if (!sameUid(j.uid, text)) continue;
                k++;
                size_t len = strlen(j.uid);
                if (k >= 2 && len < 508) {
                    j.uid[len] = ' ';
                    j.uid[len + 1] = '#';
                    j.uid[len + 2] = (char)('1' + k - 1);
                    j.uid[len + 3] = 0;
                }
            }
        }
    }

    for (int p = 0; p < Config::NUM_PLAYERS; p++) {
        for (int b = 0; b < Config::NUM_BUTTONS; b++) {
            config->controls[p][b].joystick = nullptr;
            config->controls[p][b].conflict = false;
        }
    }

    Util::logF("Input::reconfigureJoysticks()\n");
    for (size_t i = 0; i < joysticks.size(); i++) {
        Util::logF("  %d: %s\n", (int)i, joysticks[i].uid);
        for (int p = 0; p < Config::NUM_PLAYERS; p++) {
            for (int b = 0; b < Config::NUM_BUTTONS; b++) {
                structConfigControl& c = config->controls[p][b];
                if (sameUid(c.uid, joysticks[i].uid)) c.joystick = joysticks[i].joystick;
            }
        }
    }

    structConfigControl* all = &config->controls[0][0];
    const int count = Config::NUM_PLAYERS * Config::NUM_BUTTONS;
    for (int x = 0; x < count; x++) {
        if (all[x].code == 0) continue;
        for (int y = 0; y < count; y++) {
            if (y == x) continue;
            if (all[x].code == all[y].code && sameUid(all[x].uid, all[y].uid)) {
                all[x].conflict = true;
                all[y].conflict = true;
            }
        }
    }

    // in play, the console follows the new list at once; under a dialog it follows when the
    // dialogs close
    if (nes && !topDialog()) syncButtons();
}

}  // namespace vek
