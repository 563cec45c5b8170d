// autoplay: plays the embedded cartridge from a plan of moves, watching the game's RAM (from
// the linker's label file), and writes the buttons it pressed as a vek-runner input script.
// A developer tool for making the game's recorded runs; the recordings, not this tool, are
// what the tests replay.
//
// usage: autoplay [-v] PLAN [OUTPUT.txt]     (-v: report frames the game did not finish in time)
//
// Plan lines ('#' starts a comment); P is a player 1-4 or "all" (every player in the game):
//   tap P BUTTONS [N]     hold BUTTONS for N frames (3), then let go
//   hold P BUTTONS        hold BUTTONS from now on (- for none)
//   wait N                run N frames
//   walk P X              walk until the mage's x is X (within a pixel), then stop
//   jump P DIR [N]        jump, A held N frames (24), holding DIR (L, R or -) until landing
//   until state S [N]     run until the game state is S (at most N frames, default 1200)
//   until ground P [N]    run until the mage stands
//   mark NAME             note the frame in the output ("# NAME at frame F")
// Buttons as in vek-runner scripts: letters A B s S U D L R, or - for none.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "nes/cpu.h"
#include "nes/nes.h"
#include "nes/rom_data.h"

using vek::nes::Nes;

namespace {

std::map<std::string, unsigned int> g_labels;
Nes* g_nes = nullptr;
int g_frame = 0;
int g_held[4] = {0, 0, 0, 0};
int g_applied[4] = {-1, -1, -1, -1};
std::ostringstream g_out;
bool g_verbose = false;

unsigned int label(const std::string& name) {
    auto it = g_labels.find(name);
    if (it == g_labels.end()) {
        fprintf(stderr, "autoplay: no label %s\n", name.c_str());
        exit(1);
    }
    return it->second;
}
int ram(const char* name, int i = 0) { return g_nes->cpu->ram[(label(name) + i) & 0x7FF]; }
int mageX(int p) { return ram("pl_x", p); }
int mageY(int p) { return ram("pl_y", p) | ram("pl_yh", p) << 8; }
bool onGround(int p) { return ram("pl_flags", p) & 1; }
bool inGame(int p) { return ram("pl_state", p) == 1; }

int parseButtons(const std::string& s) {
    int b = 0;
    for (char c : s) switch (c) {
            case 'A': b |= 1; break;
            case 'B': b |= 2; break;
            case 's': b |= 4; break;
            case 'S': b |= 8; break;
            case 'U': b |= 16; break;
            case 'D': b |= 32; break;
            case 'L': b |= 64; break;
            case 'R': b |= 128; break;
            case '-': break;
            default: fprintf(stderr, "autoplay: bad button %c\n", c); exit(1);
        }
    return b;
}

std::string buttonText(int b) {
    if (!b) return "-";
    std::string s;
    const char* letters = "ABsSUDLR";
    for (int i = 0; i < 8; i++)
        if (b & (1 << i)) s += letters[i];
    return s;
}

void frame() {
    for (int p = 0; p < 4; p++) {
        if (g_held[p] != g_applied[p]) {
            g_out << g_frame << " " << p + 1 << " " << buttonText(g_held[p]) << "\n";
            g_nes->clearButtons(p, 0xFF);
            g_nes->setButtons(p, g_held[p]);
            g_applied[p] = g_held[p];
        }
    }
    int lagBefore = ram("lag_count");
    g_nes->update();
    if (g_verbose && ram("lag_count") != lagBefore)
        fprintf(stderr, "frame %d: lag (state %d)\n", g_frame, ram("game_state"));
    g_frame++;
}

std::vector<int> players(const std::string& word) {
    std::vector<int> v;
    if (word == "all") {
        for (int p = 0; p < 4; p++)
            if (inGame(p)) v.push_back(p);
    } else {
        v.push_back(atoi(word.c_str()) - 1);
    }
    return v;
}

[[noreturn]] void fail(int line, const std::string& msg) {
    fprintf(stderr, "autoplay: plan line %d: %s (frame %d)\n", line, msg.c_str(), g_frame);
    exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && strcmp(argv[1], "-v") == 0) {
        g_verbose = true;
        argv++;
        argc--;
    }
    if (argc < 2) {
        fprintf(stderr, "usage: autoplay [-v] PLAN [OUTPUT.txt]\n");
        return 1;
    }
    std::ifstream lbl(VEK_LABELS);
    std::string al, hex, name;
    while (lbl >> al >> hex >> name) g_labels[name[0] == '.' ? name.substr(1) : name] = std::stoul(hex, nullptr, 16);
    if (g_labels.empty()) {
        fprintf(stderr, "autoplay: cannot read %s\n", VEK_LABELS);
        return 1;
    }
    std::ifstream plan(argv[1]);
    if (!plan) {
        fprintf(stderr, "autoplay: cannot read %s\n", argv[1]);
        return 1;
    }
    g_nes = new Nes();
    g_nes->loadInternalRom(vek::ROM_DATA);
    g_out << "# recorded by autoplay from " << argv[1] << "\n";

    std::string line;
    int lineNo = 0;
    while (std::getline(plan, line)) {
        lineNo++;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line = line.substr(0, hash);
        std::istringstream ws(line);
        std::string cmd;
        if (!(ws >> cmd)) continue;
        std::vector<std::string> a;
        std::string w;
        while (ws >> w) a.push_back(w);
        auto need = [&](size_t n) {
            if (a.size() < n) fail(lineNo, "too few arguments for " + cmd);
        };
        if (cmd == "wait") {
            need(1);
            for (int i = atoi(a[0].c_str()); i > 0; i--) frame();
        } else if (cmd == "hold") {
            need(2);
            for (int p : players(a[0])) g_held[p] = parseButtons(a[1]);
        } else if (cmd == "tap") {
            need(2);
            int n = a.size() > 2 ? atoi(a[2].c_str()) : 3;
            std::vector<int> ps = players(a[0]);
            for (int p : ps) g_held[p] = parseButtons(a[1]);
            for (int i = 0; i < n; i++) frame();
            for (int p : ps) g_held[p] = 0;
            frame();
        } else if (cmd == "walk") {
            need(2);
            int target = atoi(a[1].c_str());
            std::vector<int> ps = players(a[0]);
            int guard = 0;
            for (;;) {
                bool all = true;
                for (int p : ps) {
                    int x = mageX(p);
                    int d = target - x;
                    // stop early by the distance the mage slides when it lets go
                    int slide = 0;
                    if (d > 1) {
                        g_held[p] = 128;
                        all = false;
                        slide = 3;
                        if (d <= slide) g_held[p] = 0;
                    } else if (d < -1) {
                        g_held[p] = 64;
                        all = false;
                        slide = 3;
                        if (-d <= slide) g_held[p] = 0;
                    } else {
                        g_held[p] = 0;
                    }
                }
                if (all) break;
                frame();
                if (++guard > 900) fail(lineNo, "walk did not arrive");
            }
            for (int p : ps) g_held[p] = 0;
            for (int i = 0; i < 12; i++) frame();  // come to a stop
        } else if (cmd == "jump") {
            need(2);
            int dir = parseButtons(a[1]);
            int hold = a.size() > 2 ? atoi(a[2].c_str()) : 24;
            std::vector<int> ps = players(a[0]);
            for (int p : ps) g_held[p] = 1 | dir;
            int guard = 0;
            bool left = false;
            for (;;) {
                frame();
                guard++;
                if (guard == hold)
                    for (int p : ps) g_held[p] = dir;
                bool allLanded = true;
                for (int p : ps) {
                    if (!onGround(p)) left = true;
                    if (!onGround(p) || !inGame(p)) allLanded = allLanded && !inGame(p);
                }
                if (left && guard > 4 && allLanded) break;
                if (guard > 300) fail(lineNo, "jump did not land");
            }
            for (int p : ps) g_held[p] = 0;
            frame();
        } else if (cmd == "until") {
            need(2);
            int limit = a.size() > 2 ? atoi(a[2].c_str()) : 1200;
            if (a[0] == "state") {
                int s = atoi(a[1].c_str());
                int n = 0;
                while (ram("game_state") != s) {
                    frame();
                    if (++n > limit) fail(lineNo, "state not reached");
                }
            } else if (a[0] == "ground") {
                int n = 0;
                for (int p : players(a[1]))
                    while (!onGround(p)) {
                        frame();
                        if (++n > limit) fail(lineNo, "never landed");
                    }
            } else {
                fail(lineNo, "until what?");
            }
        } else if (cmd == "mark") {
            need(1);
            g_out << "# " << a[0] << " at frame " << g_frame << "\n";
            fprintf(stderr, "%s at frame %d\n", a[0].c_str(), g_frame);
        } else {
            fail(lineNo, "unknown command " + cmd);
        }
    }
    g_out << "# end at frame " << g_frame << "\n";
    fprintf(stderr,
            "autoplay: %d frames; state %d, floor %d, emeralds %d%d%d, lag frames %d; mages (state hearts x y):",
            g_frame, ram("game_state"), ram("floor_num"), ram("gems", 2), ram("gems", 1), ram("gems", 0),
            ram("lag_count"));
    for (int p = 0; p < 4; p++)
        fprintf(stderr, " [%d %d %d %d]", ram("pl_state", p), ram("pl_hearts", p), mageX(p), mageY(p));
    fprintf(stderr, "\n");
    if (argc > 2) {
        std::ofstream out(argv[2]);
        out << g_out.str();
    } else {
        fputs(g_out.str().c_str(), stdout);
    }
    delete g_nes;
    return 0;
}
