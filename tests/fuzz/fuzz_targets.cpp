#include "fuzz_targets.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/emulator_main.h"
#include "app/util.h"
#include "config/config.h"
#include "diag/trace_logger.h"
#include "gui/dialog.h"
#include "gui/font.h"
#include "gui/gui.h"
#include "gui/main_menu_dialog.h"
#include "gui/video_dialog.h"
#include "input/input.h"
#include "nes/cpu.h"
#include "nes/nes.h"
#include "nes/ppu.h"
#include "video/renderer.h"

using namespace vek;

namespace vekfuzz {

const Target TARGETS[] = {
    {"settings", runSettings},
    {"console", runConsole},
    {"font", runFont},
    {"input", runInput},
};
const int NUM_TARGETS = sizeof(TARGETS) / sizeof(TARGETS[0]);

namespace {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[1024];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buf, sizeof(buf), fmt, args);
    va_end(args);
    return buf;
}

// Allegro with memory bitmaps and the primitives: no display, no sound, no gamepad driver
void initHost() {
    static bool done = false;
    if (!done) {
        done = true;
        al_init();
        al_init_primitives_addon();
    }
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    al_set_new_bitmap_format(ALLEGRO_PIXEL_FORMAT_ANY);
}

// xorshift, seeded from the input so that a run can be repeated
class Random {
public:
    explicit Random(const uint8_t* data, size_t size) : state(14695981039346656037ull) {
        for (size_t i = 0; i < size; i++) state = (state ^ data[i]) * 1099511628211ull;
        state |= 1;
    }
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return (uint32_t)(state >> 16);
    }

private:
    uint64_t state;
};

// calls `visit(x, y, pixel)` for every pixel of a w x h region, pixels as 0xAARRGGBB
template <class Visit>
bool scanPixels(ALLEGRO_BITMAP* bitmap, int x0, int y0, int w, int h, Visit visit) {
    ALLEGRO_LOCKED_REGION* r = al_lock_bitmap(bitmap, ALLEGRO_PIXEL_FORMAT_ARGB_8888, ALLEGRO_LOCK_READONLY);
    if (!r) return false;
    bool ok = true;
    for (int y = y0; y < y0 + h && ok; y++) {
        const uint32_t* row = (const uint32_t*)((const char*)r->data + (ptrdiff_t)y * r->pitch);
        for (int x = x0; x < x0 + w && ok; x++) ok = visit(x, y, row[x]);
    }
    al_unlock_bitmap(bitmap);
    return ok;
}

// ---------------------------------------------------------------------------------------
// settings file

// A directory of its own that holds the settings file; entered for one input, left after it
// and removed when the process ends. In memory where the machine has a place for it: every
// save syncs the file to disk.
class WorkDir {
public:
    WorkDir() {
        if (!getcwd(previous, sizeof(previous))) previous[0] = 0;
        entered = chdir(path().c_str()) == 0;
    }
    ~WorkDir() {
        if (previous[0] && chdir(previous) != 0) perror("leaving the fuzz directory");
    }
    bool entered;

private:
    char previous[4096];

    static void removeAll() {
        const std::string& dir = path();
        if (DIR* d = opendir(dir.c_str())) {
            while (dirent* e = readdir(d)) {
                if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
                    unlink((dir + "/" + e->d_name).c_str());
            }
            closedir(d);
        }
        rmdir(dir.c_str());
    }

    static const std::string& path() {
        static std::string dir;
        if (dir.empty()) {
            std::string tmpl = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
            tmpl += "/vek_fuzz_XXXXXX";
            std::vector<char> buf(tmpl.begin(), tmpl.end());
            buf.push_back(0);
            if (mkdtemp(buf.data())) {
                dir = buf.data();
                atexit(removeAll);
            }
        }
        return dir;
    }
};

bool writeFile(const char* name, const uint8_t* data, size_t size) {
    FILE* f = fopen(name, "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

std::string readFile(const char* name) {
    std::string text;
    FILE* f = fopen(name, "rb");
    if (!f) return text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, n);
    fclose(f);
    return text;
}

// the first option whose value differs between two loads, as the file's key
std::string differences(const Config& a, const Config& b) {
    if (a.numOptions != b.numOptions) return format("%d options, then %d", a.numOptions, b.numOptions);
    for (int i = 0; i < a.numOptions; i++) {
        const structConfigOption& oa = a.options[i];
        const structConfigOption& ob = b.options[i];
        if (strcmp(oa.name, ob.name) || oa.type != ob.type) return format("option %d renamed", i);
        switch (oa.type) {
        case OPTION_INT: {
            int va = *(const int*)oa.data, vb = *(const int*)ob.data;
            if (va != vb) return format("%s was %d, then %d", oa.name, va, vb);
            break;
        }
        case OPTION_DOUBLE: {
            double va = *(const double*)oa.data, vb = *(const double*)ob.data;
            if (memcmp(&va, &vb, sizeof(va)))
                return format("%s was %.17g, then %.17g", oa.name, va, vb);
            break;
        }
        case OPTION_COLOR: {
            uint32_t va = *(const uint32_t*)oa.data, vb = *(const uint32_t*)ob.data;
            if (va != vb) return format("%s was %06x, then %06x", oa.name, (unsigned)va, (unsigned)vb);
            break;
        }
        case OPTION_CONTROL: {
            const structConfigControl& ca = *(const structConfigControl*)oa.data;
            const structConfigControl& cb = *(const structConfigControl*)ob.data;
            if (ca.code != cb.code) return format("%s code was %u, then %u", oa.name, ca.code, cb.code);
            if (strcmp(ca.uid, cb.uid))
                return format("%s device text was %zu characters, then %zu", oa.name, strlen(ca.uid),
                              strlen(cb.uid));
            if (ca.player != cb.player || ca.button != cb.button)
                return format("%s moved to another button", oa.name);
            break;
        }
        }
    }
    return "";
}

// the ranges the display, the picture and the input mapping rely on after any load
std::string outOfRange(const Config& c) {
    struct Range {
        const char* name;
        int value, lo, hi;
    };
    const Range ranges[] = {
        {"windowViewportW", c.windowViewportW, 1, 8192},
        {"windowViewportH", c.windowViewportH, 1, 8192},
        {"fullscreenViewportW", c.fullscreenViewportW, 1, 8192},
        {"fullscreenViewportH", c.fullscreenViewportH, 1, 8192},
        {"fullscreen", c.fullscreen, 0, 1},
        {"overscanTop", c.overscanTop, 0, 239},
        {"overscanBottom", c.overscanBottom, 0, 239 - c.overscanTop},
        {"vsync", c.vsync, 0, 2},
        {"hardwareAcceleration", c.hardwareAcceleration, 0, 2},
        {"renderMethod", c.renderMethod, 0, 1},
        {"swapMethod", c.swapMethod, 0, 2},
        {"zoom", c.zoom, -1, 16},
        {"musicVolume", c.musicVolume, 0, 100},
        {"sfxVolume", c.sfxVolume, 0, 100},
    };
    for (const Range& r : ranges) {
        if (r.value < r.lo || r.value > r.hi) return format("%s is %d", r.name, r.value);
    }
    const int positions[4] = {c.windowViewportX, c.windowViewportY, c.fullscreenViewportX,
                              c.fullscreenViewportY};
    for (int p : positions) {
        if (p != Config::NO_POSITION && (p < -32768 || p > 32767)) return format("a position is %d", p);
    }
    if (c.borderColor > 0xFFFFFF) return format("borderColor is %x", (unsigned)c.borderColor);
    if (!(c.joystickAxisThreshold > 0.0 && c.joystickAxisThreshold <= 1.0))
        return format("joystickAxisThreshold is %g", c.joystickAxisThreshold);
    return "";
}

// the line number and text of the first line where two saved files part
std::string firstDifferentLine(const std::string& a, const std::string& b) {
    size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) at++;
    size_t start = a.rfind('\n', at == 0 ? 0 : at - 1);
    start = start == std::string::npos || at == 0 ? 0 : start + 1;
    int line = 1 + (int)std::count(a.begin(), a.begin() + start, '\n');
    return format("line %d: \"%.60s\"", line, a.substr(start, a.find('\n', start) - start).c_str());
}

}  // namespace

std::string runSettings(const uint8_t* data, size_t size) {
    WorkDir dir;
    if (!dir.entered) return "no directory to work in";
    if (!writeFile(Config::CONFIG_FILE, data, size)) return "cannot write the settings file";

    // as at start-up: a file that cannot be loaded leaves the defaults
    Config first;
    if (!first.load()) first.loadDefaultValues();
    std::string why = outOfRange(first);
    if (!why.empty()) return "after loading, " + why;
    if (!first.save()) return "the first save failed";
    const std::string saved = readFile(Config::CONFIG_FILE);

    Config second;
    if (!second.load()) return "the saved file does not load";
    why = differences(first, second);
    if (!why.empty()) return "saved and loaded again, " + why;
    if (!second.save()) return "the second save failed";
    const std::string savedAgain = readFile(Config::CONFIG_FILE);
    if (savedAgain != saved) return "the second save differs at " + firstDifferentLine(saved, savedAgain);
    return "";
}

// ---------------------------------------------------------------------------------------
// console

namespace {

// where a frame may end: the longest instruction is 7 cycles, a sprite DMA adds 514 inside one
const int OVERSHOOT = 7 + 514;

std::string registersOutOfRange(const nes::Cpu* cpu) {
    if (cpu->a > 0xFF || cpu->x > 0xFF || cpu->y > 0xFF || cpu->sp > 0xFF || cpu->p > 0xFF)
        return format("a register beyond 8 bits: A=%x X=%x Y=%x S=%x P=%x", cpu->a, cpu->x, cpu->y, cpu->sp,
                      cpu->p);
    if (cpu->pc > 0xFFFF) return format("PC beyond 16 bits: %x", cpu->pc);
    if (cpu->frameCycles < 0 || cpu->frameCycles > nes::Cpu::FRAME_END + OVERSHOOT)
        return format("frame cycles %d", cpu->frameCycles);
    if (cpu->cyclesLeft > nes::Nes::FRAME_BUDGET) return format("cycles left %d", cpu->cyclesLeft);
    // a frame that never reached its marker used up its whole budget
    if (!cpu->renderDone && (cpu->cyclesLeft > 0 || cpu->cyclesLeft <= -OVERSHOOT))
        return format("frame stopped without its marker at %d cycles left", cpu->cyclesLeft);
    if (cpu->traceLogger->bufferPos != 0) return "the trace, which nothing switched on, was written";
    return "";
}

// every pixel of the picture is one of the colour table's entries
std::string pictureFault(Renderer* renderer) {
    static std::vector<uint32_t> colours;
    if (colours.empty()) {
        for (unsigned i = 0; i < 512; i++) colours.push_back(Renderer::colour(i));
        std::sort(colours.begin(), colours.end());
    }
    uint32_t bad = 0;
    int badX = 0, badY = 0;
    bool locked = scanPixels(renderer->bitmap, Renderer::MARGIN, Renderer::MARGIN, Renderer::SCREEN_W,
                             Renderer::SCREEN_H, [&](int x, int y, uint32_t pixel) {
                                 if (std::binary_search(colours.begin(), colours.end(), pixel)) return true;
                                 bad = pixel;
                                 badX = x;
                                 badY = y;
                                 return false;
                             });
    if (bad) return format("pixel (%d, %d) is %08x, not a console colour", badX, badY, bad);
    if (!locked) return "the picture cannot be read back";
    return "";
}

}  // namespace

std::string runConsole(const uint8_t* data, size_t size) {
    initHost();
    std::vector<unsigned char> image(nes::Nes::ROM_SIZE, 0);
    memcpy(image.data(), data, std::min(size, image.size()));
    Random random(data, size);

    nes::Nes console;
    console.loadInternalRom(image.data());
    // half of the images with the vertical-blank interrupt on from the start
    if (random.next() & 1) console.ppu->ctrl = 0x80;
    Renderer renderer(console.ppu);
    if (!renderer.bitmap) return "no picture bitmap";

    for (int frame = 0; frame < CONSOLE_FRAMES; frame++) {
        // now and then a pad changes what it holds
        for (int pad = 0; pad < 4; pad++) {
            uint32_t r = random.next();
            if ((r & 7) != 0) continue;
            console.clearButtons(pad, 0xFF);
            console.setButtons(pad, (int)(r >> 8) & 0xFF);
        }
        console.update();
        std::string why = registersOutOfRange(console.cpu);
        if (!why.empty()) return format("frame %d: ", frame) + why;
        renderer.update();
        if (frame % 50 == 49) {
            why = pictureFault(&renderer);
            if (!why.empty()) return format("frame %d: ", frame) + why;
        }
        if (frame == CONSOLE_FRAMES / 2) console.softReset();
        if (frame == CONSOLE_FRAMES / 2 + 50) console.hardReset();
    }
    return "";
}

// ---------------------------------------------------------------------------------------
// font

std::string runFont(const uint8_t* data, size_t size) {
    initHost();
    static Font* font = nullptr;
    static ALLEGRO_BITMAP* canvas = nullptr;
    if (!font) {
        font = new Font();
        if (!font->load("font.png")) return "the font does not load";
        canvas = al_create_bitmap(256, 240);
    }
    if (!canvas) return "no canvas";

    // eight bytes of place, line distance and tint, then the text up to its end or a NUL
    uint8_t head[8] = {};
    memcpy(head, data, std::min(size, sizeof(head)));
    const int x = (int)head[0] - 64;
    const int y = (int)head[1] - 64;
    font->lineH = 1 + head[2] % 24;
    if (head[3] & 1)
        font->setColor(al_map_rgba(head[4], head[5], head[6], head[7]));
    else
        font->resetColor();
    std::string text;
    if (size > sizeof(head)) text.assign((const char*)data + sizeof(head), size - sizeof(head));

    al_set_target_bitmap(canvas);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    font->drawText(canvas, x, y, text.c_str());
    int w = -1, h = -1;
    font->getTextSize(text.c_str(), &w, &h);
    if (w < 0 || h < font->getH()) return format("text size %d x %d", w, h);

    // nothing is drawn outside the box the text measures
    int outX = -1, outY = -1;
    bool locked = scanPixels(canvas, 0, 0, 256, 240, [&](int px, int py, uint32_t pixel) {
        if (pixel == 0 || (px >= x && px < x + w && py >= y && py < y + h)) return true;
        outX = px;
        outY = py;
        return false;
    });
    if (outX >= 0)
        return format("pixel (%d, %d) drawn outside the measured box (%d, %d) %d x %d", outX, outY, x, y, w, h);
    if (!locked) return "the canvas cannot be read back";
    return "";
}

// ---------------------------------------------------------------------------------------
// input mapping and menus

namespace {

// stand-ins for platform gamepad handles: only their addresses count; the last one belongs
// to no gamepad the list knows
unsigned char padHandles[4];
ALLEGRO_JOYSTICK* padHandle(int i) { return reinterpret_cast<ALLEGRO_JOYSTICK*>(&padHandles[i]); }

// the gamepads that `mask` says are attached: the first two are of one kind
std::vector<structJoystickInfo> attachedPads(unsigned mask) {
    static const char* const NAMES[3] = {"Pad Alpha", "Pad Alpha", "Stick Beta"};
    std::vector<structJoystickInfo> found;
    for (int i = 0; i < 3; i++) {
        if (!(mask & (1u << i))) continue;
        structJoystickInfo info = {};
        info.joystick = padHandle(i);
        info.numButtons = 12;
        info.numSticks = 2;
        info.stickFlags[0] = ALLEGRO_JOYFLAG_ANALOGUE;
        info.stickAxes[0] = 2;
        info.stickFlags[1] = ALLEGRO_JOYFLAG_DIGITAL;
        info.stickAxes[1] = 2;
        info.name = NAMES[i];
        found.push_back(info);
    }
    return found;
}

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data(data), size(size), pos(0) {}
    bool done() const { return pos >= size; }
    unsigned next() { return pos < size ? data[pos++] : 0; }

private:
    const uint8_t* data;
    size_t size;
    size_t pos;
};

enum InputStep {
    STEP_KEY_DOWN,
    STEP_KEY_UP,
    STEP_BUTTON_DOWN,
    STEP_BUTTON_UP,
    STEP_AXIS,
    STEP_FRAME,
    STEP_PADS_CHANGED,
    STEP_BINDING,
    STEP_THRESHOLD,
    NUM_STEPS
};

class InputRun {
public:
    EmulatorMain em;
    Config* config;
    Input* input;
    gui::Gui* gui;
    ALLEGRO_BITMAP* canvas;

    InputRun() : canvas(al_create_bitmap(gui::Gui::OVERLAY_W, gui::Gui::OVERLAY_H)) {
        config = em._config = new Config();
        config->loadDefaultValues();
        // the overlay drawn at the canvas's own size
        config->windowViewportW = gui::Gui::OVERLAY_W;
        config->windowViewportH = gui::Gui::OVERLAY_H;
        em.nes = new nes::Nes();
        input = em._input = new Input(em.nes, config);
        gui = em._gui = new gui::Gui(&em, input, config);
        input->gui = gui;

        // player 2 on the buttons of the first pad, player 3 on the stick of the second,
        // player 4 on the same buttons as player 2
        input->rebuildJoysticks(attachedPads(7));
        for (int b = 0; b < Config::NUM_BUTTONS; b++) {
            bind(1, b, (unsigned)b * 16 + CONTROL_BUTTON, input->joysticks[0].uid);
            bind(3, b, (unsigned)b * 16 + CONTROL_BUTTON, input->joysticks[0].uid);
            const unsigned axis = b < 2 ? 0 : 1, direction = b % 2 ? AXIS_POSITIVE : AXIS_NEGATIVE;
            bind(2, b, direction * 1048576 + axis * 4096 + CONTROL_AXIS, input->joysticks[1].uid);
        }
        input->rebuildJoysticks(attachedPads(7));
    }
    ~InputRun() {
        if (canvas) al_destroy_bitmap(canvas);
    }

    void bind(int player, int button, unsigned code, const char* uid) {
        config->controls[player][button].code = code;
        Util::strncpy0(config->controls[player][button].uid, uid, sizeof(config->controls[player][button].uid));
    }

    // what the frame loop does for the menus in one drawn frame; the file is not written
    void frame() {
        gui->update();
        // the video settings switch the display, which this run has none of: it looks at
        // them once and backs out the way their own Back does
        if (gui->top >= 0 && dynamic_cast<gui::VideoDialog*>(gui->dialogs[gui->top])) {
            gui->render(canvas, 0, 0);
            gui->openDialog(new gui::MainMenuDialog(gui, 2));
            gui->update();
        }
        gui->render(canvas, 0, 0);
        config->saveQueued = false;
        em.resetRequested = false;
        em.exitRequested = false;
    }

    ALLEGRO_EVENT event(unsigned type) {
        ALLEGRO_EVENT e;
        memset(&e, 0, sizeof(e));
        e.type = type;
        return e;
    }

    // one event or frame from the bytes; returns its kind
    unsigned step(ByteReader& in) {
        const unsigned kind = in.next() % NUM_STEPS;
        switch (kind) {
        case STEP_KEY_DOWN:
        case STEP_KEY_UP: {
            ALLEGRO_EVENT e = event(kind == STEP_KEY_DOWN ? ALLEGRO_EVENT_KEY_DOWN : ALLEGRO_EVENT_KEY_UP);
            e.keyboard.keycode = (int)(in.next() % ALLEGRO_KEY_MAX);
            em.handleInputEvent(&e);
            break;
        }
        case STEP_BUTTON_DOWN:
        case STEP_BUTTON_UP: {
            ALLEGRO_EVENT e =
                event(kind == STEP_BUTTON_DOWN ? ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN : ALLEGRO_EVENT_JOYSTICK_BUTTON_UP);
            e.joystick.id = padHandle(in.next() % 4);
            e.joystick.button = (int)(in.next() % 32);
            em.handleInputEvent(&e);
            break;
        }
        case STEP_AXIS: {
            ALLEGRO_EVENT e = event(ALLEGRO_EVENT_JOYSTICK_AXIS);
            e.joystick.id = padHandle(in.next() % 4);
            e.joystick.stick = (int)(in.next() % 18);  // two more than a pad record keeps
            e.joystick.axis = (int)(in.next() % 4);
            e.joystick.pos = ((int)in.next() - 128) / 100.0f;
            em.handleInputEvent(&e);
            break;
        }
        case STEP_FRAME:
            frame();
            break;
        case STEP_PADS_CHANGED:
            input->rebuildJoysticks(attachedPads(in.next()));
            break;
        case STEP_BINDING: {
            // as a hand-edited settings file may leave it: any code, any of the device texts
            const int player = (int)(in.next() % 4), button = (int)(in.next() % 8);
            unsigned code = 0;
            for (int i = 0; i < 4; i++) code = code << 8 | in.next();
            const unsigned pad = in.next() % 4;
            bind(player, button, code, pad < input->joysticks.size() ? input->joysticks[pad].uid : "");
            input->rebuildJoysticks(attachedPads(7));
            break;
        }
        case STEP_THRESHOLD:
            config->joystickAxisThreshold = (in.next() + 1) / 256.0;
            break;
        }
        return kind;
    }

    std::string fault(bool afterFrame) {
        // the console runs only while no dialog is open
        if (afterFrame && em.paused != (gui->top >= 0))
            return format("paused %d with %d dialogs open", em.paused, gui->top + 1);
        for (int p = 0; p < 4; p++) {
            const int b = em.nes->getButtons(p);
            if (b < 0 || b > 0xFF) return format("pad %d holds %x", p, b);
            // Start held with no menu open opens it and lets go of every Start
            if (gui->top < 0 && (b & nes::BUTTON_START)) return format("pad %d holds Start with no menu open", p);
        }
        if (gui->top < -1 || gui->top >= gui::Gui::MAX_DIALOGS) return format("top dialog %d", gui->top);
        for (int i = 0; i < gui::Gui::MAX_DIALOGS; i++) {
            if ((i <= gui->top) != (gui->dialogs[i] != nullptr)) return format("dialog slot %d", i);
        }
        for (int n = 0; n < NUM_NAVKEYS; n++) {
            if (input->navkeyState[n] < 0) return format("navigation key %d state %d", n, input->navkeyState[n]);
        }
        return "";
    }
};

}  // namespace

std::string runInput(const uint8_t* data, size_t size) {
    initHost();
    ByteReader in(data, size);
    InputRun run;
    if (!run.canvas) return "no canvas";
    // the first byte decides whether the run starts with the start-up question
    if (in.next() & 1) {
        run.em.askControllerQuestion();
        run.frame();
    }
    for (int n = 0; !in.done(); n++) {
        const bool afterFrame = run.step(in) == STEP_FRAME;
        std::string why = run.fault(afterFrame);
        if (!why.empty()) return format("step %d: ", n) + why;
    }
    run.frame();
    return run.fault(true);
}

}  // namespace vekfuzz
