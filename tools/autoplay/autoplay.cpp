// autoplay: plays the embedded cartridge from a plan of moves, watching the game's RAM (from
// the linker's label file), and writes the buttons it pressed as a vek-runner input script.
// A developer tool for making the game's recorded runs; the recordings, not this tool, are
// what the tests replay.
//
// usage: autoplay [-v] PLAN [OUTPUT.txt]     (-v: report frames the game did not finish in time)
//
// Plan lines ('#' starts a comment); P is a player 1-4, a list of them ("1,2") or "all"
// (every player in the game):
//   tap P BUTTONS [N]     hold BUTTONS for N frames (3), then let go
//   hold P BUTTONS        hold BUTTONS from now on (- for none)
//   wait N                run N frames
//   walk P X              walk until the mage's x is X (within a pixel), then stop
//   jump P DIR [N]        jump, A held N frames (24), holding DIR (L, R or -) until landing
//   climb P X DIR Y       walk to X and jump DIR until the mage stands at y Y or higher (up to
//                         five tries: an enemy may knock it back down)
//   boss P                fight the floor's boss from the left ledge: drop onto its head when
//                         it walks or stands dazed below, bounce back up onto the ledge
//   until state S [N]     run until the game state is S (at most N frames, default 1200)
//   until ground P [N]    run until the mage stands
//   mark NAME             note the frame in the output ("# NAME at frame F")
//   trace N               run N frames printing player 1's mage and the view on stderr
//   defend on|off         (on at the start) mages cast a bolt at an enemy ahead at their height
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
bool g_traceAll = false;

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

bool g_defend = true;
bool g_shotLast[4] = {false, false, false, false};

// the cartridge's object kinds (KIND_* in rom/ember.inc) as the plans meet them
enum Kind { DUCK = 1, SPIDER = 2, TROLL = 3, GOAT = 10, BUBBLE = 11, SPEARMAN = 12, SPEAR = 13, JET = 14, TORCH = 15,
            SPARK = 16, INKGOAT = 17, SNAKE = 18, THORN = 19, WISP = 20, HOLLOW = 21 };
bool isBoss(int kind) { return kind == TROLL || kind == INKGOAT || kind == THORN || kind == HOLLOW; }
bool isEnemy(int kind) {
    return (kind >= DUCK && kind <= TROLL) || kind == GOAT || kind == BUBBLE || kind == SPEARMAN || kind == SPEAR ||
           kind == INKGOAT || kind == SNAKE || kind == THORN || kind == WISP || kind == HOLLOW;
}
bool isBurner(int kind) { return kind >= JET && kind <= SPARK; }
// a burner that burns now or soon (its phase: 0 off, 1 warning, 2 burning; timer: frames left)
bool burnsSoon(int i) { return ram("obj_state", i) != 0 || ram("obj_timer", i) < 70; }
int objY(int i) { return ram("obj_y", i) | ram("obj_yh", i) << 8; }

// B for a frame when an enemy (duck, spider, troll) is ahead of the mage at its height; when
// it is close behind, the mage turns round first
int defence(int p) {
    if (!g_defend || !inGame(p)) return 0;
    if (g_shotLast[p]) {
        g_shotLast[p] = false;
        return 0;
    }
    int px = mageX(p), py = mageY(p);
    bool left = ram("pl_flags", p) & 0x40;
    for (int i = 0; i < 10; i++) {
        int kind = ram("obj_kind", i);
        int ox = ram("obj_x", i), oy = objY(i);
        int dx = ox - px;
        // a spear coming at the mage on the ground: jump it
        if (kind == SPEAR && onGround(p) && oy > py - 4 && oy < py + 16 &&
            ((dx > 0 && dx < 64 && ram("obj_dir", i) != 0) || (dx < 0 && dx > -64 && ram("obj_dir", i) == 0)))
            return 1;
        // fire is put out by a bolt; every other enemy but a spear is shot at
        bool target = (isEnemy(kind) && kind != SPEAR) || kind == JET || kind == TORCH;
        if (!target) continue;
        int h = isBoss(kind) ? 32 : 16;
        if (kind == JET) oy -= 16;
        if (oy + h < py + 4 || oy > py + 14) continue;
        if ((left && dx < 4 && dx > -110) || (!left && dx > -4 && dx < 110)) {
            g_shotLast[p] = true;
            return 2;
        }
        if (dx > -48 && dx < 48) return dx < 0 ? 64 : 128;  // turn towards it
    }
    return 0;
}

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
        int want = g_held[p] | defence(p);
        if (want != g_applied[p]) {
            g_out << g_frame << " " << p + 1 << " " << buttonText(want) << "\n";
            g_nes->clearButtons(p, 0xFF);
            g_nes->setButtons(p, want);
            g_applied[p] = want;
        }
    }
    int lagBefore = ram("lag_count");
    int heartsBefore[4];
    for (int p = 0; p < 4; p++) heartsBefore[p] = ram("pl_hearts", p);
    g_nes->update();
    for (int p = 0; p < 4; p++)
        if (g_verbose && ram("pl_hearts", p) < heartsBefore[p] && ram("game_state") == 2) {
            fprintf(stderr, "frame %d: mage %d hurt at %d,%d;", g_frame, p + 1, mageX(p), mageY(p));
            for (int i = 0; i < 10; i++)
                if (ram("obj_kind", i))
                    fprintf(stderr, " [kind %d at %d,%d]", ram("obj_kind", i), ram("obj_x", i),
                            ram("obj_y", i) | ram("obj_yh", i) << 8);
            fprintf(stderr, "\n");
        }
    if (g_traceAll)
        fprintf(stderr, "frame %d: held %s hearts %d x %d y %d flags %02X cast %d charge %d\n", g_frame,
                buttonText(g_applied[0]).c_str(), ram("pl_hearts"), mageX(0), mageY(0), ram("pl_flags"), ram("pl_cast"),
                ram("pl_charge"));
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
        // one player, or several: "1,2"
        std::istringstream list(word);
        std::string one;
        while (std::getline(list, one, ',')) v.push_back(atoi(one.c_str()) - 1);
    }
    return v;
}

std::string g_outPath;

// the recording so far is written even when the plan fails, to look at where it went wrong
void writeOutput() {
    if (!g_outPath.empty()) {
        std::ofstream out(g_outPath);
        out << g_out.str();
    } else {
        fputs(g_out.str().c_str(), stdout);
    }
}


bool moving(int p) { return ram("pl_vx", p) != 0 || ram("pl_vxf", p) != 0; }

// walks until each mage stands still within 3 pixels of x = target
bool walkTo(const std::vector<int>& ps, int target) {
    int guard = 0;
    for (;;) {
        bool done = true;
        for (int p : ps) {
            if (!inGame(p)) continue;
            int d = target - mageX(p);
            // let go 6 pixels early: the mage slides on that far
            if (d > 6) {
                g_held[p] = 128;
                done = false;
            } else if (d < -6) {
                g_held[p] = 64;
                done = false;
            } else if (moving(p)) {
                g_held[p] = 0;
                done = false;
            } else if (d > 3 || d < -3) {
                // a nudge
                g_held[p] = (guard & 3) == 0 ? (d > 0 ? 128 : 64) : 0;
                done = false;
            } else {
                g_held[p] = 0;
            }
        }
        if (done) break;
        frame();
        if (++guard > 900) return false;
    }
    for (int p : ps) g_held[p] = 0;
    frame();
    return true;
}

bool jump(const std::vector<int>& ps, int dir, int hold) {
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
            if (!inGame(p)) continue;
            if (!onGround(p)) {
                left = true;
                allLanded = false;
            }
        }
        if (left && guard > 4 && allLanded) break;
        if (guard > 300) return false;
    }
    for (int p : ps) g_held[p] = 0;
    frame();
    return true;
}


// ---------------------------------------------------------------------------
// climbing: walk to x, wait for a moment with no enemy close above, jump; again if an enemy
// knocked the mage back; and back up the earlier climbs if it fell further down

struct Climb {
    int x, dir, target;
    unsigned who = 0;  // the players it was made for, one bit each
};
std::vector<Climb> g_climbs;

bool enemyNear(int p) {
    int px = mageX(p), py = mageY(p);
    for (int i = 0; i < 10; i++) {
        int kind = ram("obj_kind", i);
        if (!isEnemy(kind) && !(isBurner(kind) && burnsSoon(i))) continue;
        int ox = ram("obj_x", i), oy = objY(i);
        int dx = ox - px, dy = oy - py;
        if (dx > -56 && dx < 56 && dy > -100 && dy < 24) return true;
    }
    return false;
}

bool climb(const std::vector<int>& ps, const Climb& c, int depth) {
    for (int attempt = 0; attempt < 6; attempt++) {
        std::vector<int> below;
        for (int p : ps)
            if (inGame(p) && mageY(p) > c.target) below.push_back(p);
        if (below.empty()) return true;
        for (int p : below) {
            // fell below the platform it climbed from: climb back up its own way first (players
            // that went separate ways each have their own climbs)
            const Climb* last = nullptr;
            for (const Climb& h : g_climbs)
                if (h.who & (1u << p)) last = &h;
            if (last && mageY(p) > last->target + 8 && depth < 2) {
                if (g_verbose) fprintf(stderr, "frame %d: mage %d fell to y %d, climbing back\n", g_frame, p + 1, mageY(p));
                for (const Climb& h : g_climbs)
                    if ((h.who & (1u << p)) && h.target < mageY(p) && !climb({p}, h, depth + 1)) return false;
            }
        }
        if (attempt > 0 && g_verbose)
            fprintf(stderr, "frame %d: try %d, mage %d at %d,%d\n", g_frame, attempt + 1, below[0] + 1, mageX(below[0]),
                    mageY(below[0]));
        if (!walkTo(below, c.x)) return false;
        for (int wait = 0; wait < 240; wait++) {
            bool near = false;
            for (int p : below) near = near || enemyNear(p);
            if (!near) break;
            frame();
        }
        if (!jump(below, c.dir, 24)) return false;
    }
    return false;
}


// the boss's object slot, or -1
int bossSlot() {
    for (int i = 0; i < 10; i++)
        if (isBoss(ram("obj_kind", i))) return i;
    return -1;
}

bool bossFight(const std::vector<int>& ps) {
    // from the left ledge: drop onto the troll's head when it stands below, bounce back up
    bool saved = g_defend;
    g_defend = false;
    int guard = 0;
    while (ram("boss_hp") != 0) {
        int t = bossSlot();
        if (t < 0) break;
        int state = ram("obj_state", t);
        int tx = ram("obj_x", t) + 16;  // the troll's middle
        for (int p : ps) {
            if (!inGame(p)) continue;
            int mx = mageX(p) + 8;
            bool high = mageY(p) < 190;
            bool ground = onGround(p);
            if (!high) {
                // on the ground: back under the ledge and up
                if (ground)
                    g_held[p] = mageX(p) > 34 ? 64 : 1;
                else
                    g_held[p] = ram("pl_vy", p) >= 0x80 ? 1 : 0;
            } else if (!ground) {
                g_held[p] = 0;  // bouncing: land on the ledge again
            } else if ((state == 0 || state == 3 || state == 4) && tx - mx < 10 && mx - tx < 10) {
                g_held[p] = (guard & 1) ? 32 : 0;  // Down: drop onto its head
            } else {
                int want = tx < 24 ? 24 : (tx > 52 ? 52 : tx);  // above it, as far as the ledge goes
                g_held[p] = mx < want - 2 ? 128 : (mx > want + 2 ? 64 : 0);
            }
        }
        frame();
        if (++guard > 6000 || ram("game_state") != 2) break;
    }
    for (int p : ps) g_held[p] = 0;
    g_defend = saved;
    return ram("boss_hp") == 0;
}

[[noreturn]] void fail(int line, const std::string& msg) {
    fprintf(stderr, "autoplay: plan line %d: %s (frame %d)\n", line, msg.c_str(), g_frame);
    g_out << "# failed at frame " << g_frame << "\n";
    writeOutput();
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
    if (argc > 2) g_outPath = argv[2];
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
            if (!walkTo(players(a[0]), atoi(a[1].c_str()))) fail(lineNo, "walk did not arrive");
        } else if (cmd == "jump") {
            need(2);
            if (!jump(players(a[0]), parseButtons(a[1]), a.size() > 2 ? atoi(a[2].c_str()) : 24))
                fail(lineNo, "jump did not land");
        } else if (cmd == "climb") {
            need(4);
            Climb c{atoi(a[1].c_str()), parseButtons(a[2]), atoi(a[3].c_str())};
            std::vector<int> ps = players(a[0]);
            for (int p : ps) c.who |= 1u << p;
            if (!climb(ps, c, 0)) fail(lineNo, "climb did not get there");
            g_climbs.push_back(c);
        } else if (cmd == "boss") {
            need(1);
            if (!bossFight(players(a[0]))) fail(lineNo, "the boss is still standing");
        } else if (cmd == "until") {
            need(2);
            int limit = a.size() > 2 ? atoi(a[2].c_str()) : 1200;
            if (a[0] == "state") {
                g_climbs.clear();  // a new floor (or screen) starts a new climb
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
        } else if (cmd == "trace") {
            need(1);
            for (int i = atoi(a[0].c_str()); i > 0; i--) {
                frame();
                fprintf(stderr, "frame %d: state %d hearts %d blink %d x %d y %d flags %02X cam %d game %d\n", g_frame,
                        ram("pl_state"), ram("pl_hearts"), ram("pl_blink"), mageX(0), mageY(0), ram("pl_flags"),
                        ram("cam_y") | ram("cam_y", 1) << 8, ram("game_state"));
            }
        } else if (cmd == "traceall") {
            need(1);
            g_traceAll = a[0] == "on";
        } else if (cmd == "defend") {
            need(1);
            g_defend = a[0] == "on";
        } else if (cmd == "mark") {
            need(1);
            g_out << "# " << a[0] << " at frame " << g_frame << "\n";
            fprintf(stderr, "%s at frame %d: mage 1 at %d,%d hearts %d\n", a[0].c_str(), g_frame, mageX(0), mageY(0),
                    ram("pl_hearts"));
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
    writeOutput();
    delete g_nes;
    return 0;
}
