#include "config/config.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/util.h"

namespace vek {

const char* const Config::CONFIG_FILE = "Ember Spire.cfg";

Config::Config()
    : windowViewportX(0), windowViewportY(0), windowViewportW(0), windowViewportH(0),
      fullscreen(0), fullscreenViewportX(0), fullscreenViewportY(0), fullscreenViewportW(0),
      fullscreenViewportH(0), fullscreenW(0), fullscreenH(0), borderColor(0), overscanTop(0),
      overscanBottom(0), vsync(0), hardwareAcceleration(0), renderMethod(0), swapMethod(0),
      zoom(0), skipControllerConfig(0), musicVolume(0), sfxVolume(0),
      joystickAxisThreshold(0.0), saveQueued(false), numOptions(0) {
    memset(controls, 0, sizeof(controls));
    memset(parseKey, 0, sizeof(parseKey));
    memset(parseValue, 0, sizeof(parseValue));
    memset(options, 0, sizeof(options));
}

Config::~Config() {}

// ---- registry ----

void Config::registerOption(const char* name, ConfigOptionType type, void* data,
                            const char* defaultValue, const char* comment) {
    if (numOptions > NUM_OPTIONS - 1) {
        Util::logErrorF("Config::NUM_OPTIONS is wrong, attempted out of bounds access (%d)\n",
                        numOptions);
        exit(1);
    }
    structConfigOption* option = &options[numOptions];
    Util::strncpy0(option->name, name, sizeof(option->name));
    option->type = type;
    option->data = data;
    Util::strncpy0(option->comment, comment, sizeof(option->comment));
    loadOptionValue(option, defaultValue);
    numOptions++;
}

void Config::registerOptionInt(const char* name, int* data, int defaultValue,
                               const char* comment) {
    char text[64];
    snprintf(text, sizeof(text), "%d", defaultValue);
    registerOption(name, OPTION_INT, data, text, comment);
}

void Config::registerOptionColor(const char* name, uint32_t* data, uint32_t defaultValue,
                                 const char* comment) {
    char text[32];
    snprintf(text, sizeof(text), "%06x", (unsigned)defaultValue);
    registerOption(name, OPTION_COLOR, data, text, comment);
}

structConfigOption* Config::getOption(const char* name) {
    for (int i = 0; i < NUM_OPTIONS; i++) {
        if (options[i].data && Util::stringEquals(options[i].name, name, sizeof(options[i].name)))
            return &options[i];
    }
    return nullptr;
}

// strtol gives a long; numbers beyond an int saturate instead of wrapping around
static int toInt(long v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return (int)v;
}

void Config::loadOptionValue(structConfigOption* option, const char* text) {
    Util::strncpy0(option->valueText, text, sizeof(option->valueText));
    switch (option->type) {
    case OPTION_INT:
        *(int*)option->data = toInt(strtol(text, nullptr, 10));
        break;
    case OPTION_DOUBLE:
        *(double*)option->data = strtod(text, nullptr);
        break;
    case OPTION_COLOR:
        *(uint32_t*)option->data = (uint32_t)(unsigned long)strtol(text, nullptr, 16);
        break;
    case OPTION_CONTROL: {
        structConfigControl* control = (structConfigControl*)option->data;
        // strtoul stops at the colon by itself; a number that does not fit a code
        // (a minus sign wraps it around) leaves the button unbound
        unsigned long code = strtoul(text, nullptr, 10);
        control->code = code > 0xFFFFFFFFul ? 0 : (uint32_t)code;
        const char* colon = strchr(text, ':');
        if (colon) {
            // the device text keeps only what a save can write back behind the code as it
            // is written ("0:" for a missing code), so that the next load reads the same text
            char codeText[16];
            int codeLength = snprintf(codeText, sizeof(codeText), "%u:", (unsigned)control->code);
            unsigned room = (unsigned)sizeof(option->valueText) - (unsigned)codeLength;
            Util::strncpy0(control->uid, colon + 1, room < sizeof(control->uid) ? room : sizeof(control->uid));
        } else {
            control->uid[0] = 0;
        }
        break;
    }
    }
}

void Config::formatValue(const structConfigOption* option, char* out, unsigned size) {
    switch (option->type) {
    case OPTION_INT:
        snprintf(out, size, "%d", *(const int*)option->data);
        break;
    case OPTION_DOUBLE: {
        // six digits as "%g" gives them, so that a value typed with six or fewer is saved as
        // typed; a value that needs more gets as many as reading it back takes
        const double value = *(const double*)option->data;
        for (int digits = 6; digits <= 17; digits++) {
            snprintf(out, size, "%.*g", digits, value);
            if (strtod(out, nullptr) == value) break;
        }
        break;
    }
    case OPTION_COLOR:
        snprintf(out, size, "%06x", (unsigned)*(const uint32_t*)option->data);
        break;
    case OPTION_CONTROL: {
        const structConfigControl* control = (const structConfigControl*)option->data;
        snprintf(out, size, "%u:%s", (unsigned)control->code, control->uid);
        break;
    }
    }
    out[size - 1] = 0;
}

// ---- the file ----

bool Config::parseLine(const char* line) {
    parseKey[0] = 0;
    parseValue[0] = 0;
    bool hasEquals = false;
    unsigned pos = 0;
    for (const char* p = line; *p; p++) {
        if (*p == '=') {
            hasEquals = true;
            pos = 0;
            parseValue[0] = 0;
            continue;
        }
        // over-long keys and values are cut to their buffers
        char* target = hasEquals ? parseValue : parseKey;
        unsigned size = hasEquals ? sizeof(parseValue) : sizeof(parseKey);
        if (pos < size - 1) {
            target[pos++] = *p;
            target[pos] = 0;
        }
    }
    if (!hasEquals) return false;
    Util::trim(parseKey);
    Util::trim(parseValue);
    return parseKey[0] != 0;
}

bool Config::load() {
    FILE* f = fopen(CONFIG_FILE, "r");
    if (!f) return false;
    loadDefaultValues();
    Util::logF("loading settings from '%s'...\n", CONFIG_FILE);
    // a line longer than the buffer arrives, and is split, in several pieces
    char line[2048];
    while (fgets(line, sizeof(line), f)) {
        if (!parseLine(line)) continue;
        structConfigOption* option = getOption(parseKey);
        if (!option) continue;
        Util::logF("  %s = %s\n", parseKey, parseValue);
        loadOptionValue(option, parseValue);
    }
    fclose(f);
    limitValues();
    return true;
}

// Writes the whole file from the registry. It goes to a temporary file next to the real
// one first and replaces it by renaming, so an interrupted or failed write never leaves
// a truncated configuration behind.
bool Config::save() {
    char tempName[256];
    snprintf(tempName, sizeof(tempName), "%s.tmp", CONFIG_FILE);
    FILE* f = fopen(tempName, "w");
    if (!f) {
        Util::logErrorF("Config::save() Could not write '%s' (%s)\n", tempName, strerror(errno));
        return false;
    }
    Util::logF("saving %s...\n", CONFIG_FILE);
    for (int i = 0; i < numOptions; i++) {
        structConfigOption* option = &options[i];
        formatValue(option, option->valueText, sizeof(option->valueText));
        const char* piece = option->comment;
        while (*piece) {
            const char* lineFeed = strchr(piece, '\n');
            int len = lineFeed ? (int)(lineFeed - piece) : (int)strlen(piece);
            if (len > 0)
                fprintf(f, "# %.*s\n", len, piece);
            else if (lineFeed)
                fputs("\n", f);
            piece += len + (lineFeed ? 1 : 0);
        }
        fprintf(f, "%s=%s\n", option->name, option->valueText);
    }
    bool ok = !ferror(f);
    int err = ok ? 0 : EIO;
    if (fflush(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && fsync(fileno(f)) != 0 && errno != EINVAL) {
        ok = false;
        err = errno;
    }
    if (fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && rename(tempName, CONFIG_FILE) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        remove(tempName);
        Util::logErrorF("Config::save() Could not write '%s' (%s)\n", CONFIG_FILE, strerror(err));
    }
    return ok;
}

// ---- deferred saving ----

void Config::queueSave() { saveQueued = true; }

bool Config::isSaveQueued() const { return saveQueued; }

// A failed write is logged by save() and not tried again until the next queueSave(),
// so a read-only directory costs one message per change, not one per frame.
void Config::update() {
    if (!saveQueued) return;
    saveQueued = false;
    save();
}

// ---- viewport of the current mode ----

int Config::getViewportX() { return fullscreen ? fullscreenViewportX : windowViewportX; }
int Config::getViewportY() { return fullscreen ? fullscreenViewportY : windowViewportY; }
int Config::getViewportW() { return fullscreen ? fullscreenViewportW : windowViewportW; }
int Config::getViewportH() { return fullscreen ? fullscreenViewportH : windowViewportH; }

void Config::setViewportX(int x) { (fullscreen ? fullscreenViewportX : windowViewportX) = x; }
void Config::setViewportY(int y) { (fullscreen ? fullscreenViewportY : windowViewportY) = y; }
void Config::setViewportW(int w) { (fullscreen ? fullscreenViewportW : windowViewportW) = w; }
void Config::setViewportH(int h) { (fullscreen ? fullscreenViewportH : windowViewportH) = h; }

}  // namespace vek
