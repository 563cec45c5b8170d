// vek-runner: plays a cartridge image headless for a number of frames with scripted input,
// and reports what happened: picture hashes, screenshots, CPU cycles per frame, frames that
// ran out of budget, memory dumps. A developer tool for the game's tests; no window.
//
// Input script, one change per line ('#' starts a comment, blank lines are ignored):
//
//     FRAME PLAYER BUTTONS    from frame FRAME on, player PLAYER (1-4) holds exactly BUTTONS
//     FRAME reset             soft reset (the console's reset button) before frame FRAME
//
// Frames count from 0: frame N is the (N+1)-th console frame, and its picture is the one the
// screen shows after it. A change at frame N takes effect before frame N runs. BUTTONS is
// any of the letters A B s (Select) S (Start) U D L R, or a mask 0xNN or $NN (A = 1, B = 2,
// Select = 4, Start = 8, Up = 16, Down = 32, Left = 64, Right = 128), or - for none.
// Lines may come in any order of frames; within one frame they apply in file order.
//
// Hash lines read "frame N hash HEX": the 64-bit FNV-1a hash of the 256 x 240 picture, its
// pixels row by row, three bytes each (red, green, blue). --expect takes a file of such lines
// (other lines are ignored, so a saved --hashes output serves as it is).
//
// Exit status: 0 done, 1 bad arguments or a file that cannot be read or written, 2 a check
// failed (a hash differed from --expect, or with --strict a frame ended by budget). A
// screenshot or expected hash of a frame beyond the last one counts as a bad argument.

#include <allegro5/allegro.h>
#include <allegro5/allegro_acodec.h>
#include <allegro5/allegro_audio.h>
#include <allegro5/allegro_image.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "diag/trace_logger.h"
#include "nes/cpu.h"
#include "nes/hooks.h"
#include "nes/nes.h"
#include "nes/ppu.h"
#include "nes/rom_data.h"
#include "nes/vek_apu.h"
#include "video/renderer.h"

using vek::Renderer;
using vek::nes::Nes;

namespace {

const char* const USAGE =
    "usage: vek-runner [options]\n"
    "Runs the embedded cartridge image (or --rom FILE) headless for a number of frames.\n"
    "\n"
    "  --rom FILE          run this 40,960-byte image instead of the embedded one\n"
    "  --frames N          console frames to run (default 300)\n"
    "  --input FILE        input script (below)\n"
    "  --hold F:P:BUTTONS  one input change, as the script line \"F P BUTTONS\" (repeatable)\n"
    "  --hashes            print \"frame N hash HEX\" for every frame\n"
    "  --cycles            print \"frame N cycles C vblank V\": the CPU cycles the frame ran,\n"
    "                      from the previous frame-done marker to its own (the whole budget\n"
    "                      when there was none), and how many of them came after vertical\n"
    "                      blank began: the game's vertical-blank work. Vertical blank lasts\n"
    "                      2,387 cycles; a larger V means that work would overrun it.\n"
    "  --shot N:FILE       save the picture after frame N as a PNG (repeatable)\n"
    "  --margins           screenshots include the 8-pixel margins (272 x 264)\n"
    "  --expect FILE       compare with stored \"frame N hash HEX\" lines\n"
    "  --mismatch-dir DIR  save each picture that differs from --expect as DIR/frame-N.png\n"
    "  --strict            a frame that ends by budget instead of the marker is a failure\n"
    "  --dump-ram FILE     write the 2,048 bytes of work RAM after the last frame\n"
    "  --dump-vram FILE    write the picture processor's 16 KiB after the last frame\n"
    "  --trace N[-M]:FILE  write the CPU trace of frames N to M (default N) into FILE\n"
    "  --sound-log FILE    write one line per sound-driver call into FILE:\n"
    "                      \"frame N $ENTRY A=$AA Y=$YY\" (entry address, A and Y in hex)\n"
    "  --assets DIR        where music/ and sfx/ are (default: the build's game folder)\n"
    "  --verbose           show what the sound player reports at start even without its files\n"
    "  --help              this text\n"
    "\n"
    "Frames that end by budget are always reported: \"frame N ended by budget ...\".\n"
    "\n"
    "Input script, one change per line ('#' starts a comment):\n"
    "  FRAME PLAYER BUTTONS   from frame FRAME on, player PLAYER (1-4) holds exactly BUTTONS\n"
    "  FRAME reset            soft reset before frame FRAME\n"
    "Frames count from 0; a change at frame N applies before frame N runs. BUTTONS: letters\n"
    "A B s(elect) S(tart) U D L R, a mask 0xNN or $NN, or - for none. Example:\n"
    "  0   1 -\n"
    "  60  1 S      # player 1 presses Start...\n"
    "  62  1 -      # ...and lets go\n"
    "  90  2 AR     # player 2 holds A and Right\n"
    "\n"
    "Hash: FNV-1a 64 of the 256 x 240 picture, row by row, bytes red, green, blue.\n"
    "Exit status: 0 done, 1 bad arguments or files, 2 a check failed.\n";

struct InputEvent {
    int frame;
    int player;  // 0-3; -1 for a reset
    int buttons;
};

struct Shot {
    int frame;
    std::string path;
};

struct Options {
    std::string rom;
    int frames = 300;
    std::vector<InputEvent> events;
    bool hashes = false;
    bool cycles = false;
    std::vector<Shot> shots;
    bool margins = false;
    std::string expect;
    std::string mismatchDir;
    bool strict = false;
    std::string dumpRam;
    std::string dumpVram;
    int traceFirst = -1, traceLast = -1;
    std::string trace;
    std::string assets;
    std::string soundLog;
    bool verbose = false;
};

FILE* const g_err = stderr;

}  // namespace

// under the leak checker: Allegro's audio voice thread keeps a small block of its own to the end
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() { return "leak:al_create_thread\n"; }

namespace {

bool parseInt(const std::string& text, int& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    long v = strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0 || v > 100000000) return false;
    out = (int)v;
    return true;
}

bool parseButtons(const std::string& text, int& out) {
    if (text == "-") {
        out = 0;
        return true;
    }
    std::string hex;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) hex = text.substr(2);
    else if (text.size() > 1 && text[0] == '$') hex = text.substr(1);
    if (!hex.empty()) {
        char* end = nullptr;
        long v = strtol(hex.c_str(), &end, 16);
        if (*end != '\0' || v < 0 || v > 255) return false;
        out = (int)v;
        return true;
    }
    int mask = 0;
    for (char c : text) {
        switch (c) {
            case 'A': mask |= vek::nes::BUTTON_A; break;
            case 'B': mask |= vek::nes::BUTTON_B; break;
            case 's': mask |= vek::nes::BUTTON_SELECT; break;
            case 'S': mask |= vek::nes::BUTTON_START; break;
            case 'U': mask |= vek::nes::BUTTON_UP; break;
            case 'D': mask |= vek::nes::BUTTON_DOWN; break;
            case 'L': mask |= vek::nes::BUTTON_LEFT; break;
            case 'R': mask |= vek::nes::BUTTON_RIGHT; break;
            default: return false;
        }
    }
    out = mask;
    return !text.empty();
}

// one script line, already split into words; false with a reason on a bad line
bool parseEvent(const std::vector<std::string>& words, InputEvent& e, std::string& why) {
    if (words.size() == 2 && words[1] == "reset") {
        if (!parseInt(words[0], e.frame)) {
            why = "bad frame number";
            return false;
        }
        e.player = -1;
        e.buttons = 0;
        return true;
    }
    if (words.size() != 3) {
        why = "expected FRAME PLAYER BUTTONS or FRAME reset";
        return false;
    }
    int player;
    if (!parseInt(words[0], e.frame)) {
        why = "bad frame number";
        return false;
    }
    if (!parseInt(words[1], player) || player < 1 || player > 4) {
        why = "player must be 1 to 4";
        return false;
    }
    if (!parseButtons(words[2], e.buttons)) {
        why = "bad buttons (letters A B s S U D L R, 0xNN, $NN or -)";
        return false;
    }
    e.player = player - 1;
    return true;
}

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

bool loadScript(const std::string& path, std::vector<InputEvent>& events) {
    std::ifstream in(path);
    if (!in) {
        fprintf(g_err, "vek-runner: cannot read input script %s\n", path.c_str());
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        number++;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::vector<std::string> words = splitWords(line);
        if (words.empty()) continue;
        InputEvent e;
        std::string why;
        if (!parseEvent(words, e, why)) {
            fprintf(g_err, "vek-runner: %s:%d: %s\n", path.c_str(), number, why.c_str());
            return false;
        }
        events.push_back(e);
    }
    return true;
}

// "frame N hash HEX" lines; anything else is skipped
bool loadExpectedHashes(const std::string& path, std::map<int, uint64_t>& hashes) {
    std::ifstream in(path);
    if (!in) {
        fprintf(g_err, "vek-runner: cannot read %s\n", path.c_str());
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> w = splitWords(line);
        int frame;
        if (w.size() != 4 || w[0] != "frame" || w[2] != "hash" || !parseInt(w[1], frame)) continue;
        char* end = nullptr;
        unsigned long long v = strtoull(w[3].c_str(), &end, 16);
        if (*end != '\0') continue;
        hashes[frame] = v;
    }
    if (hashes.empty()) {
        fprintf(g_err, "vek-runner: %s holds no \"frame N hash HEX\" lines\n", path.c_str());
        return false;
    }
    return true;
}

std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[4096];
    if (!getcwd(cwd, sizeof(cwd))) return path;
    return std::string(cwd) + "/" + path;
}

bool isFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// returns 0 to go on, 1 for an error, -1 after --help
int parseArguments(int argc, char** argv, Options& o) {
    std::vector<std::string> scripts;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                fprintf(g_err, "vek-runner: %s needs a value\n", arg.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            fputs(USAGE, stdout);
            return -1;
        } else if (arg == "--rom") {
            if (!value(o.rom)) return 1;
        } else if (arg == "--frames") {
            if (!value(v)) return 1;
            if (!parseInt(v, o.frames)) {
                fprintf(g_err, "vek-runner: bad frame count %s\n", v.c_str());
                return 1;
            }
        } else if (arg == "--input") {
            if (!value(v)) return 1;
            scripts.push_back(v);
        } else if (arg == "--hold") {
            if (!value(v)) return 1;
            std::replace(v.begin(), v.end(), ':', ' ');
            InputEvent e;
            std::string why;
            if (!parseEvent(splitWords(v), e, why)) {
                fprintf(g_err, "vek-runner: --hold %s: %s\n", argv[i], why.c_str());
                return 1;
            }
            o.events.push_back(e);
        } else if (arg == "--hashes") {
            o.hashes = true;
        } else if (arg == "--cycles") {
            o.cycles = true;
        } else if (arg == "--shot") {
            if (!value(v)) return 1;
            size_t colon = v.find(':');
            Shot s;
            if (colon == std::string::npos || !parseInt(v.substr(0, colon), s.frame) || colon + 1 == v.size()) {
                fprintf(g_err, "vek-runner: --shot wants FRAME:FILE.png, not %s\n", v.c_str());
                return 1;
            }
            s.path = v.substr(colon + 1);
            o.shots.push_back(s);
        } else if (arg == "--margins") {
            o.margins = true;
        } else if (arg == "--expect") {
            if (!value(o.expect)) return 1;
        } else if (arg == "--mismatch-dir") {
            if (!value(o.mismatchDir)) return 1;
        } else if (arg == "--strict") {
            o.strict = true;
        } else if (arg == "--dump-ram") {
            if (!value(o.dumpRam)) return 1;
        } else if (arg == "--dump-vram") {
            if (!value(o.dumpVram)) return 1;
        } else if (arg == "--trace") {
            if (!value(v)) return 1;
            size_t colon = v.find(':');
            size_t dash = v.find('-');
            bool ok = colon != std::string::npos && colon + 1 < v.size();
            if (ok && dash != std::string::npos && dash < colon) {
                ok = parseInt(v.substr(0, dash), o.traceFirst) && parseInt(v.substr(dash + 1, colon - dash - 1), o.traceLast) &&
                     o.traceLast >= o.traceFirst;
            } else if (ok) {
                ok = parseInt(v.substr(0, colon), o.traceFirst);
                o.traceLast = o.traceFirst;
            }
            if (!ok) {
                fprintf(g_err, "vek-runner: --trace wants N:FILE or N-M:FILE, not %s\n", v.c_str());
                return 1;
            }
            o.trace = v.substr(colon + 1);
        } else if (arg == "--assets") {
            if (!value(o.assets)) return 1;
        } else if (arg == "--sound-log") {
            if (!value(o.soundLog)) return 1;
        } else if (arg == "--verbose") {
            o.verbose = true;
        } else {
            fprintf(g_err, "vek-runner: unknown option %s (see --help)\n", arg.c_str());
            return 1;
        }
    }
    for (const std::string& s : scripts) {
        if (!loadScript(s, o.events)) return 1;
    }
    std::stable_sort(o.events.begin(), o.events.end(),
                     [](const InputEvent& a, const InputEvent& b) { return a.frame < b.frame; });

    // every file name is taken from where the runner was started
    o.rom = absolutePath(o.rom);
    o.expect = absolutePath(o.expect);
    o.mismatchDir = absolutePath(o.mismatchDir);
    o.dumpRam = absolutePath(o.dumpRam);
    o.dumpVram = absolutePath(o.dumpVram);
    o.trace = absolutePath(o.trace);
    o.soundLog = absolutePath(o.soundLog);
    for (Shot& s : o.shots) s.path = absolutePath(s.path);
#ifdef VEK_GAME_DIR
    if (o.assets.empty()) o.assets = VEK_GAME_DIR;
#endif
    return 0;
}

bool loadImage(const std::string& path, std::vector<unsigned char>& image) {
    image.assign(Nes::ROM_SIZE, 0);
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        fprintf(g_err, "vek-runner: cannot read %s\n", path.c_str());
        return false;
    }
    size_t n = fread(image.data(), 1, image.size(), f);
    bool longer = fgetc(f) != EOF;
    fclose(f);
    if (n != image.size() || longer) {
        fprintf(g_err, "vek-runner: %s is not a %d-byte image\n", path.c_str(), Nes::ROM_SIZE);
        return false;
    }
    return true;
}

bool writeFile(const std::string& path, const unsigned char* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        fprintf(g_err, "vek-runner: cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = fwrite(data, 1, size, f) == size;
    ok = fclose(f) == 0 && ok;
    if (!ok) fprintf(g_err, "vek-runner: cannot write %s\n", path.c_str());
    return ok;
}

bool pictureHash(ALLEGRO_BITMAP* bitmap, uint64_t& hash) {
    uint64_t h = 0xCBF29CE484222325ull;
    ALLEGRO_LOCKED_REGION* r = al_lock_bitmap(bitmap, ALLEGRO_PIXEL_FORMAT_ARGB_8888, ALLEGRO_LOCK_READONLY);
    if (!r) {
        fprintf(g_err, "vek-runner: cannot read the frame bitmap\n");
        return false;
    }
    for (int y = 0; y < Renderer::SCREEN_H; y++) {
        const uint32_t* row =
            (const uint32_t*)((const char*)r->data + (ptrdiff_t)(y + Renderer::MARGIN) * r->pitch) + Renderer::MARGIN;
        for (int x = 0; x < Renderer::SCREEN_W; x++) {
            const unsigned char rgb[3] = {(unsigned char)(row[x] >> 16), (unsigned char)(row[x] >> 8),
                                          (unsigned char)row[x]};
            for (unsigned char b : rgb) {
                h ^= b;
                h *= 0x100000001B3ull;
            }
        }
    }
    al_unlock_bitmap(bitmap);
    hash = h;
    return true;
}

// how far into vertical blank the frame-done marker came: the length of the game's
// vertical-blank work so far, interrupt entry included
int vblankCycles(const vek::nes::Cpu& cpu) {
    const int vblankLength = vek::nes::Cpu::FRAME_END - vek::nes::Cpu::VBLANK_START;
    if (cpu.inVblank) return cpu.frameCycles - vek::nes::Cpu::VBLANK_START;
    return vblankLength + cpu.frameCycles;  // past the end of vertical blank
}

bool savePicture(ALLEGRO_BITMAP* bitmap, const std::string& path, bool margins) {
    bool ok;
    if (margins) {
        ok = al_save_bitmap(path.c_str(), bitmap);
    } else {
        ALLEGRO_BITMAP* screen =
            al_create_sub_bitmap(bitmap, Renderer::MARGIN, Renderer::MARGIN, Renderer::SCREEN_W, Renderer::SCREEN_H);
        ok = screen && al_save_bitmap(path.c_str(), screen);
        if (screen) al_destroy_bitmap(screen);
    }
    if (!ok) fprintf(g_err, "vek-runner: cannot save %s\n", path.c_str());
    return ok;
}

// The sound player loads its files from the working directory and reports every one it
// misses when it starts. With the files present the runner works from their folder; without
// them (and without --verbose) the console is built with standard error sent to /dev/null,
// and the result is the descriptor to put back afterwards (-1: nothing to put back).
int prepareSound(const Options& o) {
    bool found = !o.assets.empty() && isFile(o.assets + "/" + vek::nes::SFX_INFO[0].filename) &&
                 isFile(o.assets + "/" + vek::nes::MUSIC_INFO[0].filename) && chdir(o.assets.c_str()) == 0;
    if (found) return -1;
    fprintf(g_err, "vek-runner: no sound files under %s; the player runs silent\n", o.assets.c_str());
    if (o.verbose) return -1;
    fflush(stderr);
    int saved = dup(2);
    int null = open("/dev/null", O_WRONLY);
    if (saved >= 0 && null >= 0) dup2(null, 2);
    if (null >= 0) close(null);
    return saved;
}

void restoreStandardError(int saved) {
    if (saved < 0) return;
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    int parsed = parseArguments(argc, argv, o);
    if (parsed != 0) return parsed < 0 ? 0 : 1;

    std::vector<unsigned char> image;
    if (!o.rom.empty() && !loadImage(o.rom, image)) return 1;
    std::map<int, uint64_t> expected;
    if (!o.expect.empty() && !loadExpectedHashes(o.expect, expected)) return 1;
    if (!o.trace.empty()) {
        // the trace appends piece by piece as the frames run; find out now if it cannot
        FILE* f = fopen(o.trace.c_str(), "w");
        if (!f) {
            fprintf(g_err, "vek-runner: cannot write %s\n", o.trace.c_str());
            return 1;
        }
        fclose(f);
    }
    if (!o.mismatchDir.empty() && !isDirectory(o.mismatchDir)) {
        fprintf(g_err, "vek-runner: %s is not a folder\n", o.mismatchDir.c_str());
        return 1;
    }

    // a null sound device, so that the player can work without a sound card
    setenv("ALSOFT_DRIVERS", "null", 0);
    if (!al_init()) {
        fprintf(g_err, "vek-runner: al_init failed\n");
        return 1;
    }
    al_init_image_addon();
    if (al_install_audio()) al_init_acodec_addon();
    int savedStandardError = prepareSound(o);
    Nes* nes = new Nes();
    restoreStandardError(savedStandardError);
    nes->loadInternalRom(o.rom.empty() ? vek::ROM_DATA : image.data());

    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    bool needPicture = o.hashes || !o.shots.empty() || !expected.empty();
    Renderer* renderer = needPicture ? new Renderer(nes->ppu) : nullptr;
    if (renderer && !renderer->bitmap) {
        fprintf(g_err, "vek-runner: cannot create the frame bitmap\n");
        delete renderer;
        delete nes;
        return 1;
    }

    FILE* soundLog = nullptr;
    int frame = 0;
    if (!o.soundLog.empty()) {
        soundLog = fopen(o.soundLog.c_str(), "w");
        if (!soundLog) {
            fprintf(g_err, "vek-runner: cannot write %s\n", o.soundLog.c_str());
            delete renderer;
            delete nes;
            return 1;
        }
        nes->hooks->listener = [&](unsigned int entry) {
            fprintf(soundLog, "frame %d $%04X A=$%02X Y=$%02X\n", frame, entry, nes->cpu->a & 0xFF,
                    nes->cpu->y & 0xFF);
        };
    }

    std::vector<int> budgetFrames;
    int mismatches = 0, checked = 0;
    bool failed = false;
    size_t nextEvent = 0;
    for (frame = 0; frame < o.frames; frame++) {
        for (; nextEvent < o.events.size() && o.events[nextEvent].frame <= frame; nextEvent++) {
            const InputEvent& e = o.events[nextEvent];
            if (e.player < 0) {
                nes->softReset();
            } else {
                nes->clearButtons(e.player, 0xFF);
                nes->setButtons(e.player, e.buttons);
            }
        }

        if (frame == o.traceFirst) nes->cpu->traceLogger->activate(nes->cpu, o.trace.c_str());
        nes->update();
        if (frame == o.traceLast) nes->cpu->traceLogger->deactivate();
        int used = Nes::FRAME_BUDGET - nes->cpu->cyclesLeft;
        if (!nes->cpu->renderDone) {
            budgetFrames.push_back(frame);
            printf("frame %d ended by budget: no frame-done marker within %d cycles\n", frame, Nes::FRAME_BUDGET);
        }
        if (o.cycles) {
            if (nes->cpu->renderDone) printf("frame %d cycles %d vblank %d\n", frame, used, vblankCycles(*nes->cpu));
            else printf("frame %d cycles %d\n", frame, used);
        }

        bool shotHere = false;
        for (const Shot& s : o.shots) shotHere = shotHere || s.frame == frame;
        auto want = expected.find(frame);
        if (!renderer || !(o.hashes || shotHere || want != expected.end())) continue;

        renderer->update();
        uint64_t hash = 0;
        if (!pictureHash(renderer->bitmap, hash)) {
            failed = true;
            break;
        }
        if (o.hashes) printf("frame %d hash %016" PRIx64 "\n", frame, hash);
        for (const Shot& s : o.shots) {
            if (s.frame == frame && !savePicture(renderer->bitmap, s.path, o.margins)) failed = true;
        }
        if (want != expected.end()) {
            checked++;
            if (want->second != hash) {
                mismatches++;
                printf("frame %d hash %016" PRIx64 " differs: expected %016" PRIx64 "\n", frame, hash, want->second);
                if (!o.mismatchDir.empty()) {
                    std::string path = o.mismatchDir + "/frame-" + std::to_string(frame) + ".png";
                    if (savePicture(renderer->bitmap, path, o.margins)) printf("frame %d picture in %s\n", frame, path.c_str());
                }
            }
        }
    }
    fflush(stdout);

    if (!o.trace.empty() && o.traceFirst >= o.frames) {
        fprintf(g_err, "vek-runner: no trace of frame %d: only %d frames ran\n", o.traceFirst, o.frames);
        failed = true;
    }
    for (const Shot& s : o.shots) {
        if (s.frame >= o.frames) {
            fprintf(g_err, "vek-runner: no screenshot of frame %d: only %d frames ran\n", s.frame, o.frames);
            failed = true;
        }
    }
    int unchecked = 0;
    for (const auto& e : expected) unchecked += e.first >= o.frames;
    if (unchecked) {
        fprintf(g_err, "vek-runner: %d expected hashes lie beyond the last frame\n", unchecked);
        failed = true;
    }

    if (soundLog) {
        nes->hooks->listener = nullptr;
        if (fclose(soundLog) != 0) {
            fprintf(g_err, "vek-runner: cannot write %s\n", o.soundLog.c_str());
            failed = true;
        }
    }
    if (!o.dumpRam.empty() && !writeFile(o.dumpRam, nes->cpu->ram, sizeof(nes->cpu->ram))) failed = true;
    if (!o.dumpVram.empty() && !writeFile(o.dumpVram, nes->ppu->vram, sizeof(nes->ppu->vram))) failed = true;

    std::string budgetList;
    for (size_t i = 0; i < budgetFrames.size() && i < 20; i++) budgetList += (i ? " " : ": ") + std::to_string(budgetFrames[i]);
    if (budgetFrames.size() > 20) budgetList += " ...";
    printf("runner: %d frames, %zu ended by budget%s\n", o.frames, budgetFrames.size(), budgetList.c_str());
    if (!expected.empty()) printf("runner: %d of %d hashes checked differ\n", mismatches, checked);

    delete renderer;
    delete nes;
    al_uninstall_audio();

    if (failed) return 1;
    if (mismatches || (o.strict && !budgetFrames.empty())) return 2;
    return 0;
}
