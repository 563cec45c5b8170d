#include "config/config.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "app/util.h"

namespace vek {

const char* const Config::CONFIG_FILE = "Ember Spire.cfg";

Config::Config()
    : windowViewportX(0), windowViewportY(0), windowViewportW(0), windowViewportH(0),
      fullscreen(0), fullscreenViewportX(0), fullscreenViewportY(0), fullscreenViewportW(0),
      fullscreenViewportH(0), fullscreenW(0), fullscreenH(0), borderColor(0), overscanTop(0),
      overscanBottom(0), vsync(0), hardwareAcceleration(0), renderMethod(0), swapMethod(0),
      zoom(0), skipControllerConfig(0), musicVolume(0), sfxVolume(0),
      joystickAxisThreshold(0.0), saveQueued(false), keepFile(false), numOptions(0) {
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
            // is written ("0:" for a missing code), so that the next load reads the same text;
            // valueText has room for any device text behind any code, so a text that fits
            // `uid` is kept whole
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

// Only a file that is not there at all is filled in with the defaults by the caller. A file
// that is there but cannot be read (another user's, a directory) belongs to someone: this run
// plays on the defaults and leaves it as it is.
bool Config::load() {
    keepFile = false;
    FILE* f = fopen(CONFIG_FILE, "r");
    if (!f) {
        if (errno != ENOENT) keepUnreadableFile(errno);
        return false;
    }
    // the file is read whole, up to a bound, before anything is applied
    std::string text;
    bool tooLarge = false;
    char chunk[8192];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) {
        size_t room = (size_t)MAX_FILE_SIZE - text.size();
        if (n > room) {
            text.append(chunk, room);
            tooLarge = true;
            break;
        }
        text.append(chunk, n);
    }
    const int err = errno;
    const bool failed = !tooLarge && ferror(f);
    fclose(f);
    if (failed) {
        keepUnreadableFile(err);
        return false;
    }
    if (tooLarge) {
        Util::logErrorF("Config::load() '%s' is larger than %d bytes: only its beginning is read\n",
                        CONFIG_FILE, MAX_FILE_SIZE);
        // the line cut by the bound is not a line of the file
        size_t lastLineFeed = text.rfind('\n');
        text.resize(lastLineFeed == std::string::npos ? 0 : lastLineFeed + 1);
    }

    loadDefaultValues();
    Util::logF("loading settings from '%s'...\n", CONFIG_FILE);
    // a line longer than the buffer arrives, and is split, in several pieces
    char line[2048];
    int shown = 0;
    int notShown = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t len = std::min(text.size() - pos, sizeof(line) - 1);
        const void* lineFeed = memchr(text.data() + pos, '\n', len);
        if (lineFeed) len = (size_t)((const char*)lineFeed - (text.data() + pos)) + 1;
        memcpy(line, text.data() + pos, len);
        line[len] = 0;
        pos += len;
        if (!parseLine(line)) continue;
        structConfigOption* option = getOption(parseKey);
        if (!option) continue;
        if (shown < MAX_LOGGED_LINES) {
            Util::logF("  %s = %s\n", parseKey, parseValue);
            shown++;
        } else {
            notShown++;
        }
        loadOptionValue(option, parseValue);
    }
    if (notShown > 0) Util::logF("  (%d more settings lines not shown)\n", notShown);
    limitValues();
    return true;
}

void Config::keepUnreadableFile(int err) {
    keepFile = true;
    Util::logErrorF("Config::load() Could not read '%s' (%s): playing on the default settings, "
                    "the file is left as it is\n",
                    CONFIG_FILE, strerror(err));
}

namespace {

// The file a path names after following its symbolic links, also when the last one points
// to a file that does not exist yet.
std::string followLinks(const char* path) {
    std::string p = path;
    for (int hops = 0; hops < 40; hops++) {
        char target[PATH_MAX];
        ssize_t n = readlink(p.c_str(), target, sizeof(target) - 1);
        if (n < 0) break;
        target[n] = 0;
        size_t slash = p.rfind('/');
        if (target[0] == '/' || slash == std::string::npos)
            p = target;
        else
            p = p.substr(0, slash + 1) + target;
    }
    return p;
}

// Temporary files are named after the file, the process that writes them and a unique
// ending: "NAME.tmp-PID-XXXXXX".
std::string tempPrefix(const std::string& base) { return base + ".tmp-"; }

bool isProcessRunning(long pid) {
    if (pid <= 0 || pid > INT_MAX) return false;
    if (pid == (long)getpid()) return false;  // this process writes one file at a time
    return kill((pid_t)pid, 0) == 0 || errno == EPERM;
}

// Removes what saves that were killed left behind in `folder`: temporary files of ours whose
// process has ended, or that nobody has touched for an hour. Another instance's save that
// is being written right now is left alone.
void removeStaleTempFiles(const std::string& folder, const std::string& base) {
    DIR* d = opendir(folder.c_str());
    if (!d) return;
    const std::string prefix = tempPrefix(base);
    const std::string oldName = base + ".tmp";  // the single name earlier versions used
    const time_t now = time(nullptr);
    while (struct dirent* e = readdir(d)) {
        const char* name = e->d_name;
        long pid = 0;
        if (strncmp(name, prefix.c_str(), prefix.size()) == 0) {
            const char* p = name + prefix.size();
            char* end = nullptr;
            pid = strtol(p, &end, 10);
            if (end == p || *end != '-' || strlen(end + 1) != 6) continue;
        } else if (oldName != name) {
            continue;
        }
        const std::string path = folder + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const bool old = now - st.st_mtime > Config::STALE_TEMP_SECONDS;
        if (old || (pid != 0 && !isProcessRunning(pid))) unlink(path.c_str());
    }
    closedir(d);
}

}  // namespace

// Writes the whole file from the registry. It goes to a temporary file of its own in the
// folder of the real file (the one a symbolic link points to) and replaces it by renaming,
// so an interrupted or failed write never leaves a truncated configuration behind, and a
// link stays a link.
bool Config::save() {
    if (keepFile) return false;
    const std::string target = followLinks(CONFIG_FILE);
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + (slash == 0));
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    removeStaleTempFiles(folder, base);

    char tempName[PATH_MAX];
    snprintf(tempName, sizeof(tempName), "%s/%s%ld-XXXXXX", folder.c_str(), tempPrefix(base).c_str(),
             (long)getpid());
    int fd = mkstemp(tempName);
    FILE* f = nullptr;
    if (fd >= 0) {
        // the new file keeps the permission bits (and, where allowed, the owner) of the old
        struct stat st;
        if (stat(target.c_str(), &st) == 0) {
            fchmod(fd, st.st_mode & 07777);
            if (fchown(fd, st.st_uid, st.st_gid) != 0) {
                // not allowed: the new file belongs to this process's user
            }
        } else {
            mode_t mask = umask(0);
            umask(mask);
            fchmod(fd, 0666 & ~mask);
        }
        f = fdopen(fd, "w");
        if (!f) {
            int e = errno;
            close(fd);
            unlink(tempName);
            errno = e;
        }
    }
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
    if (ok && rename(tempName, target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(tempName);
        Util::logErrorF("Config::save() Could not write '%s' (%s)\n", target.c_str(), strerror(err));
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
