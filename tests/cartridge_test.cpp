// The real cartridge image in the real console: the frame-done marker and the frame budget,
// the title screen's picture, players joining, the controller ports and the sound driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cartridge_support.h"
#include "nes/hooks.h"

using vektest::Cartridge;
using vektest::Picture;

namespace {

const int A = 1, START = 8, UP = 16, LEFT = 64, RIGHT = 128;
const int TITLE_SETTLED = 60;  // frames after power-on by which the title is fully drawn
const int TITLE_CYCLE = 64;    // frames after which the title's stars and torches repeat

// the vertical blank NMI comes 27,394 cycles into a frame of 29,781; the NMI handler's own
// work (sprite DMA, queued rows, registers) comes off what the main loop may use
const int MAIN_LOOP_LIMIT = 27394 - 1200;

TEST(Cartridge, ImageIsTheWholeCartridge) {
    // the reset, NMI and BRK vectors point into the program
    auto vec = [](int at) { return vek::ROM_DATA[at] | vek::ROM_DATA[at + 1] << 8; };
    EXPECT_GE(vec(0x7FFA), 0x8000);
    EXPECT_GE(vec(0x7FFC), 0x8000);
    EXPECT_GE(vec(0x7FFE), 0x8000);
    EXPECT_STREQ(vek::ROM_VERSION, "qor-204");
    // the NMI handler ends with the frame-done marker right before its RTI
    Cartridge cart;
    unsigned int nmi = cart.addr("nmi");
    EXPECT_EQ(nmi, (unsigned int)vec(0x7FFA));
    bool found = false;
    for (unsigned int a = nmi; a < nmi + 256; a++) {
        const unsigned char* p = &vek::ROM_DATA[a - 0x8000];
        if (p[0] == 0x04 && p[2] == 0x40) {
            found = true;
            break;
        }
    }
    EXPECT_TRUE(found) << "no $04 $xx $40 (marker, filler, RTI) in the NMI handler";
}

TEST(Cartridge, EveryFrameEndsAtTheMarkerWithinItsBudget) {
    Cartridge cart;
    // power-on: the program polls vertical blank with the NMI off, so the first frames may
    // end by budget; from the first marker on every frame must end with one
    for (int i = 0; i < 5 && !cart.sawMarker; i++) cart.run();
    ASSERT_TRUE(cart.sawMarker) << "no frame-done marker in the first 5 frames";
    // idle title, then all four players joining and running and jumping about, the
    // countdown, the tier's card and the first floor's start
    int titleWorst = 0, titleWorstFrame = 0;
    for (int f = 0; f < 600; f++) {
        if (f == 100)
            for (int p = 0; p < 4; p++) cart.hold(p, A);
        if (f == 104)
            for (int p = 0; p < 4; p++) cart.hold(p, p & 1 ? RIGHT : LEFT);
        if (f >= 150 && f % 40 == 0)
            for (int p = 0; p < 4; p++) cart.hold(p, (f / 40 + p) & 1 ? (A | RIGHT) : LEFT);
        ASSERT_TRUE(cart.stepFrame()) << "frame " << cart.frame << " ran out of budget";
        // one update is one video frame, from marker to marker (give or take what the NMI
        // handler's length changes), and the handler is done while vertical blank lasts
        EXPECT_LE(cart.lastUsed, 29781 + 2387) << "frame " << cart.frame;
        EXPECT_TRUE(cart.markerInVblank) << "frame " << cart.frame;
        EXPECT_LE(cart.lastWork, MAIN_LOOP_LIMIT) << "frame " << cart.frame;
        if (cart.ram("game_state") == 0 && cart.lastWork > titleWorst) {
            titleWorst = cart.lastWork;
            titleWorstFrame = cart.frame;
        }
    }
    EXPECT_EQ(cart.framesWithoutMarker, 0);
    EXPECT_EQ(cart.ram("lag_count"), 0) << "the main loop missed a vertical blank";
    for (int p = 0; p < 4; p++) EXPECT_EQ(cart.ram("pl_state", p), 1) << "player " << p + 1;
    printf("main loop at most %d cycles per frame (frame %d); on the title at most %d (frame %d)\n",
           cart.worstWork, cart.worstWorkFrame, titleWorst, titleWorstFrame);
}

TEST(Cartridge, TitleScreenPicture) {
    Cartridge cart;
    cart.run(TITLE_SETTLED);
    Picture now = cart.picture();
    vektest::savePicture(vektest::shotPath("title.png"), now);
    Picture expected;
    ASSERT_TRUE(vektest::loadPicture(std::string(VEK_TEST_DATA_DIR) + "/title.png", expected));
    ASSERT_EQ(expected.w, 256);
    ASSERT_EQ(expected.h, 240);
    int differ = 0;
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 256; x++)
            if (now.at(x, y) != expected.at(x, y) && differ++ < 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << now.at(x, y) << ", expected "
                              << expected.at(x, y);
    EXPECT_EQ(differ, 0) << "see " << vektest::shotPath("title.png");
    // while nobody presses anything the stars twinkle and both torches flicker, in tiles of
    // their own: the name and the texts stay put, and after one cycle the picture is back
    std::vector<bool> changed(256 * 240);
    for (int f = 1; f <= TITLE_CYCLE; f++) {
        cart.run();
        Picture p = cart.picture();
        for (size_t i = 0; i < p.pixels.size(); i++)
            if (p.pixels[i] != now.pixels[i]) changed[i] = true;
    }
    EXPECT_TRUE(cart.picture() == now) << "not the same picture after " << TITLE_CYCLE << " frames";
    auto changedIn = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) n += changed[y * 256 + x];
        return n;
    };
    EXPECT_GT(changedIn(0, 0, 256, 24), 0) << "no star above the name twinkles";
    EXPECT_GT(changedIn(100, 160, 108, 168), 0) << "the left torch burns still";
    EXPECT_GT(changedIn(156, 160, 164, 168), 0) << "the right torch burns still";
    EXPECT_EQ(changedIn(52, 24, 204, 152), 0) << "the name or the texts change";
    EXPECT_LT(changedIn(0, 0, 256, 240), 1000) << "more than stars and flames move";
    // the backdrop and the sprite backdrop are the same colour
    EXPECT_EQ(cart.nes->ppu->read8(0x3F00), cart.nes->ppu->read8(0x3F10));
}

TEST(Cartridge, TitlePlaysTheIntroMusicThroughTheDriver) {
    Cartridge cart;
    cart.run(TITLE_SETTLED);
    // the driver's own state: track 5 started, nothing left chosen
    EXPECT_EQ(cart.ram("snd_track"), 5);
    EXPECT_EQ(cart.ram("snd_pending"), 0xFF);
    EXPECT_EQ(cart.ram("snd_flags") & 1, 1);
    // the hooks consumed the chosen track when the start entry ran
    EXPECT_EQ(cart.nes->hooks->pendingMusic, -1);
    // the track position advances once per frame
    int t0 = cart.ram16("snd_time");
    cart.run(10);
    EXPECT_EQ(cart.ram16("snd_time"), t0 + 10);
}

TEST(Cartridge, PlayerTwoJoinsWithA) {
    Cartridge cart;
    cart.run(TITLE_SETTLED);
    EXPECT_EQ(cart.ram("pl_state", 1), 0);
    EXPECT_EQ(cart.spritesWithPalette(1), 0);
    cart.tap(1, A);
    cart.run(2);
    // player 2's mage is in play, drawn with player 2's palette, and nobody else's is
    EXPECT_EQ(cart.ram("pl_state", 1), 1);
    EXPECT_EQ(cart.ram("pl_state", 0), 0);
    EXPECT_EQ(cart.ram("pl_state", 2), 0);
    EXPECT_EQ(cart.ram("pl_state", 3), 0);
    EXPECT_GE(cart.spritesWithPalette(1), 3);
    Picture after = cart.picture();
    vektest::savePicture(vektest::shotPath("title_player2.png"), after);
    Cartridge idle;  // the same frame of the title with nobody joined
    idle.run(cart.frame);
    EXPECT_TRUE(after != idle.picture());
    // joining played effect 23 on one of the driver's voices
    bool joined = false;
    for (int v = 0; v < 3; v++) joined |= cart.ram("snd_voice_sfx", v) == 23;
    EXPECT_TRUE(joined);

    // the D-pad walks the mage: right, then left
    int x0 = cart.ram("pl_x", 1);
    cart.hold(1, RIGHT);
    cart.run(30);
    int x1 = cart.ram("pl_x", 1);
    EXPECT_GT(x1, x0 + 20);
    cart.hold(1, LEFT);
    cart.run(60);
    EXPECT_LT(cart.ram("pl_x", 1), x1 - 40);
    cart.release(1);
    // A now jumps: the mage rises, then lands where it started
    cart.run(20);
    int y0 = cart.ram("pl_y", 1);
    cart.hold(1, A);
    cart.run(12);
    EXPECT_LT(cart.ram("pl_y", 1), y0 - 16);
    cart.release(1);
    cart.run(60);
    EXPECT_EQ(cart.ram("pl_y", 1), y0);
}

TEST(Cartridge, EachPlayerHasItsOwnPortBitAndColours) {
    // players 1 to 4 come in on $4016 bit 0, $4017 bit 0, $4016 bit 1, $4017 bit 1: each
    // player's A must bring in that player's mage and no other
    for (int p = 0; p < 4; p++) {
        Cartridge cart;
        cart.run(TITLE_SETTLED);
        cart.tap(p, A);
        cart.run(2);
        for (int q = 0; q < 4; q++) {
            EXPECT_EQ(cart.ram("pl_state", q), q == p ? 1 : 0) << "A of player " << p + 1;
            EXPECT_EQ(cart.spritesWithPalette(q) > 0, q == p) << "A of player " << p + 1;
        }
    }
}

TEST(Cartridge, StartNeverReachesTheGame) {
    // the same inputs with and without Start held give the same game
    Cartridge plain, withStart;
    auto script = [](Cartridge& c, int extra) {
        c.run(TITLE_SETTLED);
        for (int p = 0; p < 4; p++) c.hold(p, extra);
        c.run(20);
        c.hold(0, A | extra);
        c.run(3);
        c.hold(0, RIGHT | extra);
        c.run(30);
    };
    script(plain, 0);
    script(withStart, START);
    EXPECT_EQ(0, memcmp(plain.nes->cpu->ram, withStart.nes->cpu->ram, 2048));
    EXPECT_TRUE(plain.picture() == withStart.picture());
}

// ---------------------------------------------------------------------------
// The game's rules, checked in short stretches of the recorded runs

// plays a recording up to (not including) frame `until`, or to its mark `mark`
int replay(Cartridge& cart, const std::string& name, const std::string& mark, int until = -1) {
    vektest::Recording rec;
    if (!rec.load(std::string(VEK_TEST_DATA_DIR) + "/runs/" + name + ".txt")) {
        ADD_FAILURE() << "cannot read the recording " << name;
        return 0;
    }
    if (until < 0)
        for (auto& m : rec.marks)
            if (m.second == mark) until = m.first;
    if (until < 0) ADD_FAILURE() << name << " has no mark " << mark;
    for (int f = 0; f < until; f++) {
        auto it = rec.changes.find(f);
        if (it != rec.changes.end())
            for (auto& c : it->second) cart.hold(c.first, c.second);
        cart.run();
    }
    for (int p = 0; p < 4; p++) cart.release(p);
    return until;
}

const int PS_NONE = 0, PS_ALIVE = 1, PS_GHOST = 2;

// whether the driver's voices hold effect `sfx` (and the highest pitch it has there)
bool voiceHas(Cartridge& cart, int sfx, int* pitch = nullptr) {
    bool found = false;
    for (int v = 0; v < 3; v++)
        if (cart.ram("snd_voice_sfx", v) == sfx && cart.ram("snd_voice_time", v) > 0) {
            int p = (signed char)cart.ram("snd_voice_pitch", v);
            if (pitch && (!found || p > *pitch)) *pitch = p;
            found = true;
        }
    return found;
}

TEST(GameRules, TitleLeaveWithBAndCountdownForFour) {
    Cartridge cart;
    cart.run(TITLE_SETTLED);
    cart.tap(2, A);
    cart.run(2);
    EXPECT_EQ(cart.ram("pl_state", 2), PS_ALIVE);
    cart.tap(2, 2);  // B
    cart.run(2);
    EXPECT_EQ(cart.ram("pl_state", 2), PS_NONE);
    EXPECT_TRUE(voiceHas(cart, 24)) << "leaving plays effect 24";
    // all four in: a short countdown starts the climb without anyone at the gate
    for (int p = 0; p < 4; p++) cart.tap(p, A);
    cart.run(60);
    EXPECT_EQ(cart.ram("game_state"), 0) << "still counting down";
    cart.run(200);
    EXPECT_EQ(cart.ram("game_state"), 1) << "the tier's card";
    EXPECT_EQ(cart.ram("snd_track"), 0) << "the card plays the mysterious music";
}

TEST(GameRules, LatecomerJoinsAtTheFloorStart) {
    Cartridge cart;
    replay(cart, "spire_solo", "floor1");
    ASSERT_EQ(cart.ram("game_state"), 2);
    EXPECT_EQ(cart.ram("pl_state", 2), PS_NONE);
    // while they can join, the free players see "2P PRESS A" (3P, 4P) in their own colours
    auto joinLetters = [&](int player) {  // the line's two P's
        int n = 0;
        for (int i = 0; i < 64; i++) {
            const unsigned char* s = &cart.nes->ppu->oam[4 * i];
            n += s[0] < 239 && s[1] == 'P' - 32 && (s[2] & 3) == player;
        }
        return n;
    };
    for (int p = 1; p < 4; p++) EXPECT_EQ(joinLetters(p), 2) << "player " << p + 1 << " can join";
    EXPECT_EQ(joinLetters(0), 0);
    cart.tap(2, A);
    cart.run(2);
    EXPECT_EQ(cart.ram("pl_state", 2), PS_ALIVE) << "player 3 joined";
    EXPECT_EQ(cart.ram("pl_hearts", 2), 3);
    EXPECT_EQ(cart.ram("pl_y", 2), cart.ram("pl_y", 0)) << "beside the mage already there";
    EXPECT_GE(cart.spritesWithPalette(2), 4);
    EXPECT_EQ(joinLetters(2), 0) << "player 3 is in";
    // much later in the floor nobody joins any more, and no line says so
    cart.run(300);
    EXPECT_EQ(joinLetters(3), 0);
    cart.tap(3, A);
    cart.run(2);
    EXPECT_EQ(cart.ram("pl_state", 3), PS_NONE);
}

TEST(GameRules, GhostsComeBackWhenATeammateTouchesThem) {
    Cartridge cart;
    replay(cart, "floor1_four", "floor1");
    ASSERT_EQ(cart.ram("game_state"), 2);
    // mage 2 loses its last heart by falling out of the view
    cart.nes->cpu->ram[cart.addr("pl_hearts") + 1] = 1;
    cart.nes->cpu->ram[cart.addr("pl_yh") + 1] = 0x0F;
    cart.run(2);
    EXPECT_EQ(cart.ram("pl_state", 1), PS_GHOST);
    EXPECT_TRUE(voiceHas(cart, 27)) << "becoming a ghost plays effect 27";
    EXPECT_EQ(cart.ram("game_state"), 2) << "the others climb on";
    // the ghost drifts to the highest mage; touching it brings it back with one heart
    int frames = 0;
    while (cart.ram("pl_state", 1) == PS_GHOST && frames < 600) {
        cart.run();
        frames++;
    }
    EXPECT_EQ(cart.ram("pl_state", 1), PS_ALIVE) << "still a ghost after " << frames << " frames";
    EXPECT_EQ(cart.ram("pl_hearts", 1), 1);
}

TEST(GameRules, TheSoloClimbMeetsEveryPartOfTheSpire) {
    // the whole solo run, frame by frame, watching what the floors do
    vektest::Recording rec;
    ASSERT_TRUE(rec.load(std::string(VEK_TEST_DATA_DIR) + "/runs/spire_solo.txt"));
    Cartridge cart;
    int highestPitch = 0, pickups = 0, lastGems = 0, webFrames = 0, webSounds = 0, lastHp = 0;
    bool starShone = false, musicPaused = false, braziers = false, screams = false, inhales = false;
    bool ending = false;
    std::map<int, int> floorMusic;  // floor of the spire (tier * 4 + floor) -> track heard on it
    std::map<int, int> bossHits;    // tier -> hits its boss took with effect 28
    std::map<int, bool> bossBeaten; // tier -> its boss beaten, the ember let go
    for (int f = 0; f <= rec.endFrame; f++) {
        auto it = rec.changes.find(f);
        if (it != rec.changes.end())
            for (auto& c : it->second) cart.hold(c.first, c.second);
        bool webBefore = cart.ram("pl_flags") & 4;
        cart.run();
        int gems = cart.ram("gems", 2) * 100 + cart.ram("gems", 1) * 10 + cart.ram("gems");
        if (gems > lastGems) {
            pickups++;
            int pitch = 0;
            ASSERT_TRUE(voiceHas(cart, 0, &pitch)) << "an emerald without its sound at frame " << f;
            highestPitch = std::max(highestPitch, pitch);
        }
        lastGems = gems;
        if (cart.ram("pl_flags") & 4) {
            webFrames++;
            if (!webBefore && voiceHas(cart, 1)) webSounds++;
        }
        starShone |= cart.ram("star_timer") > 0;
        musicPaused |= (cart.ram("snd_flags") & 2) != 0;
        braziers |= cart.ram("ckpt_row") != 0xFF && cart.ram("game_state") == 2;
        int hp = cart.ram("boss_hp"), tier = cart.ram("tier");
        if (hp < lastHp && voiceHas(cart, 28)) bossHits[tier]++;
        if (hp == 0 && lastHp > 0)
            for (int i = 0; i < 10; i++) bossBeaten[tier] = bossBeaten[tier] || cart.ram("obj_kind", i) == 4;
        lastHp = hp;
        if (cart.ram("game_state") == 2)  // the piece a floor starts with (the last boss's fades)
            floorMusic.emplace(tier * 4 + cart.ram("floor_num"), cart.ram("snd_track"));
        screams |= tier == 3 && voiceHas(cart, 33);
        inhales |= tier == 3 && cart.ram("floor_num") == 3 && voiceHas(cart, 15);
        ending |= cart.ram("game_state") == 5 && cart.ram("snd_track") == 0;
    }
    EXPECT_GE(pickups, 20);
    EXPECT_GE(highestPitch, 2) << "emeralds in a row: each pickup a step higher";
    EXPECT_GT(webFrames, 0) << "the climb goes through a web";
    EXPECT_GT(webSounds, 0) << "getting caught in a web plays effect 1";
    EXPECT_TRUE(starShone) << "the wishing star";
    EXPECT_TRUE(musicPaused) << "the music rests while the star's jingle plays";
    EXPECT_TRUE(braziers) << "a brazier was lit";
    EXPECT_TRUE(screams) << "a wisp of the Crown screams as it starts to chase";
    EXPECT_TRUE(inhales) << "the Hollow Wisp breathes in";
    EXPECT_TRUE(ending) << "the ending, under the mysterious music";
    EXPECT_EQ(cart.ram("game_state"), 0) << "back to the title after the ending";
    // the Cellars march, the Library is heroic, the Gardens dreamy, the Crown spooky; boss
    // floors play the boss music, the last the evil music
    const int music[16] = {8, 8, 8, 7, 1, 1, 1, 7, 3, 3, 3, 7, 2, 2, 2, 4};
    for (int floor = 0; floor < 16; floor++) EXPECT_EQ(floorMusic[floor], music[floor]) << "floor " << floor;
    for (int tier = 0; tier < 4; tier++) {
        EXPECT_GE(bossHits[tier], 6) << "tier " << tier + 1 << "'s boss takes its hits with effect 28";
        EXPECT_TRUE(bossBeaten[tier]) << "tier " << tier + 1 << "'s boss lets the ember go";
    }
}

TEST(GameRules, HeldBChargesTheStrongSpell) {
    Cartridge cart;
    replay(cart, "spire_solo", "floor1");
    cart.hold(0, 2);  // B
    cart.run(2);
    EXPECT_TRUE(voiceHas(cart, 4)) << "B casts a bolt at once";
    cart.run(50);
    int pitch = -1;
    EXPECT_TRUE(voiceHas(cart, 22, &pitch)) << "fully charged";
    EXPECT_GT(pitch, 0) << "the charge sound ends higher";
    EXPECT_GE(cart.ram("pl_charge"), 48);
    cart.release(0);
    cart.run(2);
    bool orb = false;
    for (int i = 0; i < 8; i++) orb |= cart.ram("bolt_kind", i) == 2;
    EXPECT_TRUE(orb) << "letting go releases the charged spell";
    EXPECT_TRUE(voiceHas(cart, 5));
    EXPECT_EQ(cart.ram("pl_charge"), 0);
}

TEST(GameRules, SpellsBreakCrackedStoneAndTheEmberOpensTheDoor) {
    Cartridge cart;
    // floor 2's chest room is walled off by cracked stone (row 4, column 10)
    replay(cart, "spire_solo", "chest2");
    ASSERT_EQ(cart.ram("floor_num"), 1);
    const int slot = (4 % 32) * 16 + 10;
    EXPECT_EQ(cart.nes->cpu->ram[(cart.addr("cmap") + slot) & 0x7FF], 0) << "the bolt left the wall behind";
    // the chest lets the ember out; once it reaches the door the door is open
    cart.run(150);
    int doorRow = cart.ram("door_row"), doorCol = cart.ram("door_col");
    int door = cart.nes->cpu->ram[(cart.addr("cmap") + (doorRow % 32) * 16 + doorCol) & 0x7FF];
    int closed = cart.nes->cpu->ram[(cart.addr("cmap") + ((doorRow - 1) % 32) * 16 + doorCol) & 0x7FF];
    EXPECT_NE(door, closed) << "the door's two halves: open bottom, open top";
    EXPECT_NE(door, 0);
}

// ---------------------------------------------------------------------------
// The Library's enemies and hazards, on its first floor: shots and fire set in the floor's
// object slots beside the mage, as the goats, trolls and jets there make them

const int B = 2;
const int KIND_PUFF = 8, KIND_BUBBLE = 11, KIND_SPEAR = 13, KIND_JET = 14, KIND_TORCH = 15, KIND_SPARK = 16;
const int KIND_SNAKE = 18;

// the start of a floor of the solo run (the Library's first unless told), with helpers
// to set objects about the mage
struct FloorStart {
    Cartridge cart;
    explicit FloorStart(const char* mark = "t2floor1") {
        replay(cart, "spire_solo", mark);
        EXPECT_EQ(cart.ram("game_state"), 2);
    }
    void poke(const std::string& label, int index, int value) {
        cart.nes->cpu->ram[(cart.addr(label) + index) & 0x7FF] = (unsigned char)value;
    }
    int find(int kind) {
        for (int i = 0; i < 10; i++)
            if (cart.ram("obj_kind", i) == kind) return i;
        return -1;
    }
    // an object of `kind` in a free slot, dx pixels across from mage 1 and dy down, moving
    // right (or left), returned as its slot
    int place(int kind, int dx, int dy, bool right) {
        int slot = find(0);
        EXPECT_GE(slot, 0);
        int y = (cart.ram("pl_y") | cart.ram("pl_yh") << 8) + dy;
        poke("obj_kind", slot, kind);
        poke("obj_x", slot, cart.ram("pl_x") + dx);
        poke("obj_y", slot, y & 0xFF);
        poke("obj_yh", slot, y >> 8);
        poke("obj_ax", slot, cart.ram("pl_x") + dx);
        for (const char* zero : {"obj_state", "obj_timer", "obj_hurt", "obj_vx"}) poke(zero, slot, 0);
        poke("obj_hp", slot, 1);
        poke("obj_dir", slot, right ? 0 : 0x40);
        return slot;
    }
    // runs until the mage's blinking after a hit is over
    void recover() {
        for (int i = 0; i < 300 && cart.ram("pl_blink") != 0; i++) cart.run();
    }
    int hearts() { return cart.ram("pl_hearts"); }
};

TEST(LibraryRules, ABubbleHurtsOnTouchAndASpellPopsIt) {
    FloorStart lib;
    int hearts = lib.hearts();
    // drifting at the mage: a heart lost, the bubble spent
    int slot = lib.place(KIND_BUBBLE, -28, 0, true);
    lib.cart.run(60);
    EXPECT_EQ(lib.hearts(), hearts - 1);
    EXPECT_NE(lib.cart.ram("obj_kind", slot), KIND_BUBBLE);
    lib.recover();
    // a bolt the mage casts towards it pops it before it arrives
    hearts = lib.hearts();
    lib.cart.tap(0, LEFT, 1);
    slot = lib.place(KIND_BUBBLE, -56, 0, true);
    lib.cart.tap(0, B, 2);
    lib.cart.run(20);
    EXPECT_EQ(lib.cart.ram("obj_kind", slot), KIND_PUFF) << "popped";
    lib.cart.run(60);
    EXPECT_EQ(lib.hearts(), hearts);
}

TEST(LibraryRules, ASpearHitsAStandingMageAndMissesAJumpingOne) {
    FloorStart lib;
    int hearts = lib.hearts();
    int slot = lib.place(KIND_SPEAR, -64, 5, true);
    lib.cart.run(30);
    EXPECT_EQ(lib.hearts(), hearts - 1) << "standing in its line";
    EXPECT_NE(lib.cart.ram("obj_kind", slot), KIND_SPEAR) << "spent on the mage";
    lib.recover();
    // the same throw, jumped: it flies on underneath and on to the wall
    hearts = lib.hearts();
    int from = lib.cart.ram("pl_x") - 64;
    slot = lib.place(KIND_SPEAR, -64, 5, true);
    lib.cart.run(8);
    lib.cart.hold(0, A);
    int furthest = 0;
    for (int i = 0; i < 40 && lib.cart.ram("obj_kind", slot) == KIND_SPEAR; i++) {
        lib.cart.run();
        furthest = std::max(furthest, lib.cart.ram("obj_x", slot));
    }
    lib.cart.release(0);
    lib.cart.run(30);
    EXPECT_EQ(lib.hearts(), hearts) << "jumped over";
    EXPECT_GT(furthest, lib.cart.ram("pl_x") + 16) << "past the mage (thrown from " << from << ")";
}

TEST(LibraryRules, FireBurnsOnItsRhythmAndASpellPutsOutJetsAndTorches) {
    // each burner set where the mage stands: harmless while it rests, burning when it
    // burns (a spark crackles as it switches on); then one bolt from a step away
    struct Case {
        int kind, sound;
        bool putOut;
    } cases[] = {{KIND_JET, 0, true}, {KIND_TORCH, 0, true}, {KIND_SPARK, 30, false}};
    for (const Case& c : cases) {
        FloorStart lib;
        int hearts = lib.hearts();
        int slot = lib.place(c.kind, 0, 0, true);
        lib.cart.run(2);
        EXPECT_EQ(lib.hearts(), hearts) << c.kind << ": resting";
        for (int i = 0; i < 400 && lib.cart.ram("obj_state", slot) != 2; i++) lib.cart.run();
        if (c.sound) {
            EXPECT_TRUE(voiceHas(lib.cart, c.sound)) << c.kind << ": switching on with effect " << c.sound;
        }
        lib.cart.run(2);
        EXPECT_EQ(lib.hearts(), hearts - 1) << c.kind << ": in the flame";
        lib.poke("pl_x", 0, lib.cart.ram("obj_x", slot) + 48);
        lib.recover();
        lib.cart.tap(0, LEFT, 1);
        lib.cart.tap(0, B, 2);
        lib.cart.run(12);
        EXPECT_EQ(voiceHas(lib.cart, 13), c.putOut) << c.kind << ": put out with effect 13";
        EXPECT_EQ(lib.cart.ram("obj_kind", slot) != c.kind, c.putOut) << c.kind;
    }
}

TEST(GardenRules, UpInAPortalTakesAMageToTheLinkedOneAndBack) {
    // the moon lawn's start: a portal on the start level (column 1), its partner in the
    // sealed cellar two rows down (column 2)
    Cartridge cart;
    replay(cart, "spire_solo", "t3floor1");
    ASSERT_EQ(cart.ram("tier"), 2);
    auto y = [&] { return cart.ram("pl_y") | cart.ram("pl_yh") << 8; };
    const int start = y();
    cart.nes->cpu->ram[cart.addr("pl_x") & 0x7FF] = 64;  // away from it: Up does nothing
    cart.run(2);
    cart.tap(0, UP);
    EXPECT_EQ(y(), start);
    cart.nes->cpu->ram[cart.addr("pl_x") & 0x7FF] = 20;
    cart.run(2);
    cart.tap(0, UP);
    EXPECT_EQ(y(), start + 32) << "in the cellar";
    EXPECT_EQ(cart.ram("pl_x"), 32);
    EXPECT_TRUE(voiceHas(cart, 29)) << "effect 29";
    cart.run(20);
    EXPECT_EQ(y(), start + 32) << "standing there";
    cart.tap(0, UP);
    EXPECT_EQ(y(), start) << "and back";
    EXPECT_EQ(cart.ram("pl_x"), 16);
}

TEST(GardenRules, ASnakeRearsUpThenLungesAtAMageOnItsLevel) {
    struct Case {
        int dy;  // the snake's place below the mage
        bool lunges;
    } cases[] = {{0, true}, {48, false}};
    for (const Case& c : cases) {
        FloorStart garden("t3floor1");
        int hearts = garden.hearts();
        int slot = garden.place(KIND_SNAKE, -40, c.dy, true);
        bool rose = false, lunged = false;
        for (int i = 0; i < 200 && garden.hearts() == hearts; i++) {
            garden.cart.run();
            rose |= garden.cart.ram("obj_state", slot) == 1;
            lunged |= garden.cart.ram("obj_state", slot) == 2 && voiceHas(garden.cart, 31);
        }
        EXPECT_EQ(rose, c.lunges) << "rearing first, " << c.dy << " pixels below";
        EXPECT_EQ(lunged, c.lunges) << "lunging with effect 31, " << c.dy << " pixels below";
        EXPECT_EQ(garden.hearts(), c.lunges ? hearts - 1 : hearts) << c.dy << " pixels below";
    }
}

// the tiles of one of the cartridge's metasprites (gfxconv's gfx_data.inc: count, width,
// then dy, tile, attributes, dx per sprite)
std::set<int> metaspriteTiles(const std::string& name) {
    std::ifstream in(std::string(VEK_BINARY_DIR) + "/rom/gfx_data.inc");
    std::string line;
    std::set<int> tiles;
    while (std::getline(in, line)) {
        if (line != name + ":") continue;
        std::vector<int> bytes;
        while (std::getline(in, line) && line.find(".byte") != std::string::npos)
            for (size_t at = line.find('$'); at != std::string::npos; at = line.find('$', at + 1))
                bytes.push_back(std::stoi(line.substr(at + 1, 2), nullptr, 16));
        for (size_t i = 3; i < bytes.size(); i += 4) tiles.insert(bytes[i]);
        return tiles;
    }
    ADD_FAILURE() << "no " << name << " in gfx_data.inc";
    return tiles;
}

TEST(GardenRules, AShotLooksLikeWhoLetItFly) {
    // a troll set beside a mage in the Library throws a spear, in the troll's red; the Thorn
    // Serpent in its court spits a thorn, in its own green: the same kind of shot, each
    // drawn with its own picture (the shot's sprites at its place in sprite memory)
    const int KIND_SPEARMAN = 12;
    struct Case {
        const char* mark;
        int thrower;  // set 48 pixels left of the mage (0: the floor's boss throws)
        const char* picture;
        int palette;
    } cases[] = {{"t2floor1", KIND_SPEARMAN, "ms_spear", 0}, {"t3boss", 0, "ms_thorn_barb", 2}};
    for (const Case& c : cases) {
        FloorStart floor(c.mark);
        if (c.thrower) floor.place(c.thrower, -48, 0, true);
        int shot = -1;
        for (int f = 0; f < 600 && shot < 0; f++) {
            floor.cart.run();
            shot = floor.find(KIND_SPEAR);
        }
        ASSERT_GE(shot, 0) << c.mark << ": nothing was let fly";
        floor.cart.run(4);
        ASSERT_EQ(floor.cart.ram("obj_kind", shot), KIND_SPEAR) << c.mark << ": still flying";
        const int x = floor.cart.ram("obj_x", shot), y = floor.cart.ram("obj_sy", shot) - 1;
        std::set<int> tiles, palettes;
        for (int i = 0; i < 64; i++) {
            const unsigned char* s = &floor.cart.nes->ppu->oam[4 * i];
            if (s[0] == y && (s[3] == x || s[3] == x + 8)) {
                tiles.insert(s[1]);
                palettes.insert(s[2] & 3);
            }
        }
        EXPECT_EQ(tiles, metaspriteTiles(c.picture)) << c.mark;
        EXPECT_EQ(palettes, std::set<int>{c.palette}) << c.mark;
    }
}

TEST(GameRules, ASwoopingDuckComesDownIntoTheBolts) {
    // a duck 80 pixels over a mage and 40 to its right swoops at it; the mage faces it and
    // casts bolts, which fly at its head's height, as a player does
    Cartridge cart;
    replay(cart, "spire_solo", "floor1");
    int slot = 0;
    while (slot < 10 && cart.ram("obj_kind", slot) != 0) slot++;
    ASSERT_LT(slot, 10);
    const int mageY = cart.ram("pl_y") | cart.ram("pl_yh") << 8, duckY = mageY - 80;
    auto poke = [&](const char* name, int value) { cart.nes->cpu->ram[(cart.addr(name) + slot) & 0x7FF] = value; };
    poke("obj_x", cart.ram("pl_x") + 40);
    poke("obj_y", duckY & 255);
    poke("obj_yh", duckY >> 8);
    poke("obj_ay", duckY & 255);
    poke("obj_ayh", duckY >> 8);
    for (const char* zero : {"obj_state", "obj_timer", "obj_hurt"}) poke(zero, 0);
    poke("obj_dir", 0x40);
    poke("obj_hp", 1);
    poke("obj_kind", 1);
    cart.nes->cpu->ram[cart.addr("pl_flags") & 0x7FF] &= ~0x40;  // facing right
    int lowest = duckY;
    for (int f = 0; f < 150 && cart.ram("obj_kind", slot) == 1; f++) {
        cart.hold(0, f % 10 < 2 ? 2 : 0);  // B
        cart.run();
        lowest = std::max(lowest, cart.ram("obj_y", slot) | cart.ram("obj_yh", slot) << 8);
    }
    EXPECT_NE(cart.ram("obj_kind", slot), 1) << "the duck came down to " << mageY - lowest << " pixels over the mage";
}

TEST(GameRules, ASpellHitsATargetWhereTheViewHasItNow) {
    // the touch test of a spell against an enemy, called as the game calls it, for each
    // screen height of the spell: the heights that hit follow the enemy's place in the view
    // as it is now, whatever screen place the enemy was given before the view last climbed
    FloorStart lib;
    Cartridge& cart = lib.cart;
    vek::nes::Cpu* cpu = cart.nes->cpu;
    const int target = lib.place(KIND_BUBBLE, 40, 0, true);
    const int worldY = cart.ram("obj_y", target) | cart.ram("obj_yh", target) << 8;
    auto hitHeights = [&](int camY, int staleClimb) {
        std::string heights;
        for (int spellY = 0; spellY < 240; spellY++) {
            lib.poke("cam_y", 0, camY & 255);
            lib.poke("cam_y", 1, camY >> 8);
            lib.poke("obj_sy", target, worldY - camY + staleClimb);
            lib.poke("bolt_kind", 0, 1);
            lib.poke("bolt_x", 0, cart.ram("obj_x", target) + 4);
            lib.poke("t4", 0, spellY);
            lib.poke("t6", 0, 0);
            lib.poke("t7", 0, target);
            // a JSR from nowhere: the routine's RTS lands on $FFFF
            cpu->ram[0x1FF] = 0xFF;
            cpu->ram[0x1FE] = 0xFE;
            cpu->sp = 0xFD;
            cpu->x = 0;
            cpu->y = target;
            cpu->pc = cart.addr("bolt_hits");
            for (int i = 0; i < 200 && cpu->pc != 0xFFFF; i++) cpu->nextOpcode();
            EXPECT_EQ(cpu->pc, 0xFFFFu);
            if (cpu->p & vek::nes::Cpu::FLAG_C) heights += " " + std::to_string(spellY);
        }
        return heights;
    };
    const int camY = worldY - 100;
    const std::string now = hitHeights(camY, 0);
    EXPECT_NE(now, "");
    EXPECT_EQ(hitHeights(camY, 3), now) << "the view climbed 3 pixels since the enemy's screen place was set";
    EXPECT_EQ(hitHeights(camY, -2), now);
    std::string lower;  // the view 3 pixels higher: the enemy is 3 pixels lower in it
    std::istringstream in(now);
    for (int y; in >> y;) lower += " " + std::to_string(y + 3);
    EXPECT_EQ(hitHeights(camY - 3, 0), lower);
}

// a constant of the cartridge's graphics (gfxconv's gfx_const.inc), such as a tile number
int gfxConstant(const std::string& name) {
    std::ifstream in(std::string(VEK_BINARY_DIR) + "/rom/gfx_const.inc");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ws(line);
        std::string n, eq, value;
        if (ws >> n >> eq >> value && n == name && eq == "=")
            return value[0] == '$' ? (int)std::stoul(value.substr(1), nullptr, 16) : std::stoi(value);
    }
    ADD_FAILURE() << "no " << name << " in gfx_const.inc";
    return -1;
}

TEST(GameRules, UpTakesAMageOverlappingTheOpenDoorwayThroughIt) {
    // the mage's box is x+3 to x+12; the doorway is the door's 16 pixels. Three pixels of
    // the box in the doorway on either side are enough; two are not.
    const int arrow = gfxConstant("TILE_ARROW_UP");
    struct Case {
        int dx;  // the mage's x minus the doorway's left edge
        bool enters;
    } cases[] = {{-10, true}, {10, true}, {-11, false}, {11, false}, {0, true}};
    for (const Case& c : cases) {
        Cartridge cart;
        replay(cart, "spire_solo", "chest1");
        cart.run(150);  // the ember flies to the door and opens it
        ASSERT_EQ(cart.ram("door_open"), 1);
        const int doorX = cart.ram("door_col") * 16;
        cart.nes->cpu->ram[cart.addr("pl_x") & 0x7FF] = (unsigned char)(doorX + c.dx);
        cart.run(2);
        bool hint = false;
        for (int i = 0; i < 64; i++) hint |= cart.nes->ppu->oam[4 * i + 1] == arrow && cart.nes->ppu->oam[4 * i] < 239;
        EXPECT_EQ(hint, c.enters) << "the arrow over the door, mage " << c.dx << " pixels off the doorway";
        cart.tap(0, UP);
        EXPECT_EQ(cart.ram("pl_state"), c.enters ? 3 : PS_ALIVE) << "mage " << c.dx << " pixels off the doorway";
    }
}

// ---------------------------------------------------------------------------
// The Crown: its loose stone, its wisps and the Hollow Wisp, and the ending

const int KIND_EMBER = 4, KIND_WISP = 20, KIND_HOLLOW = 21;
const int STATE_OVER = 4, STATE_END = 5;

TEST(CrownRules, LooseStoneShakesAndFallsUnderAMageHarmlesslyAndIsBackWhenTheFloorRestarts) {
    // the middle of the broken landing over the broken stair's start: row 55, column 8 (the
    // start is on row 58)
    FloorStart crown("t4floor1");
    Cartridge& cart = crown.cart;
    ASSERT_EQ(cart.ram("tier"), 3);
    const int row = 55, col = 8, loose = gfxConstant("MT_CRUMBLE"), shaking = gfxConstant("MT_CRUMBLING"),
              wall = gfxConstant("MT_WALL");
    auto stone = [&] { return cart.ram("cmap", (row % 32) * 16 + col); };
    auto y = [&] { return cart.ram("pl_y") | cart.ram("pl_yh") << 8; };
    ASSERT_EQ(stone(), loose);
    crown.poke("pl_x", 0, col * 16);  // the mage's box over that column alone
    crown.poke("pl_y", 0, ((row - 1) * 16) & 255);
    crown.poke("pl_yh", 0, ((row - 1) * 16) >> 8);
    int shookAt = -1, fellAt = -1, droppedAt = -1;
    for (int f = 0; f < 80 && droppedAt < 0; f++) {
        cart.run();
        if (shookAt < 0 && stone() == shaking) shookAt = f;
        if (fellAt < 0 && stone() == wall) {
            fellAt = f;
            EXPECT_TRUE(voiceHas(cart, 2)) << "the stone breaks with effect 2";
        }
        if (fellAt < 0) {
            EXPECT_EQ(y(), (row - 1) * 16) << "it holds the mage until it falls (frame " << f << ")";
        }
        if (y() > (row - 1) * 16 + 4) droppedAt = f;
    }
    EXPECT_GE(shookAt, 10) << "standing a while before it shakes";
    EXPECT_GT(fellAt, shookAt + 10) << "shaking a while before it falls";
    EXPECT_GE(droppedAt, fellAt) << "the mage drops through where it was";
    // the first loose stone of the floor costs nothing: the mage lands on the start's floor,
    // in view, with every heart it had
    const int hearts = crown.hearts();
    cart.run(60);
    EXPECT_EQ(y(), 58 * 16) << "standing on the floor of the start";
    EXPECT_EQ(crown.hearts(), hearts) << "a heart lost to the first loose stone";
    // every heart lost: after a continue the floor starts again with the stone in place
    crown.poke("pl_hearts", 0, 1);
    crown.poke("pl_yh", 0, 0x0F);
    for (int f = 0; f < 300 && cart.ram("game_state") != STATE_OVER; f++) cart.run();
    ASSERT_EQ(cart.ram("game_state"), STATE_OVER);
    cart.run(120);
    cart.tap(0, A);
    for (int f = 0; f < 300 && cart.ram("game_state") != 2; f++) cart.run();
    ASSERT_EQ(cart.ram("game_state"), 2);
    EXPECT_EQ(stone(), loose) << "the loose stone is back";
}

TEST(CrownRules, AWispScreamsAtAMageThatComesNearThenClosesIn) {
    struct Case {
        int dx, dy;  // where the wisp hangs from the mage
        bool chases;
    } cases[] = {{-40, 0, true}, {48, -40, true}, {-72, 0, false}, {0, -80, false}};
    for (const Case& c : cases) {
        FloorStart crown("t4floor1");
        Cartridge& cart = crown.cart;
        int hearts = crown.hearts();
        int slot = crown.place(KIND_WISP, c.dx, c.dy, true);
        auto gap = [&] {
            int wy = cart.ram("obj_y", slot) | cart.ram("obj_yh", slot) << 8;
            return std::abs(cart.ram("obj_x", slot) - cart.ram("pl_x")) +
                   std::abs(wy - (cart.ram("pl_y") | cart.ram("pl_yh") << 8));
        };
        const int start = gap();
        bool screamed = false;
        int closest = start;
        for (int f = 0; f < 240 && crown.hearts() == hearts; f++) {
            cart.run();
            screamed |= voiceHas(cart, 33);
            if (cart.ram("obj_kind", slot) == KIND_WISP) closest = std::min(closest, gap());
        }
        const std::string where = std::to_string(c.dx) + "," + std::to_string(c.dy);
        EXPECT_EQ(screamed, c.chases) << "effect 33, the wisp at " << where;
        EXPECT_EQ(crown.hearts(), c.chases ? hearts - 1 : hearts) << "it reached the mage from " << where;
        if (c.chases) {
            EXPECT_LE(closest, start / 2) << "closing in from " << where;
        } else {
            EXPECT_EQ(closest, start) << "hanging where it was, " << where;
        }
    }
}

// the Hollow Wisp's court, from a recorded run's mark; Y := the boss's object slot
int hollowWisp(Cartridge& cart, const char* run) {
    replay(cart, run, "t4boss");
    for (int i = 0; i < 10; i++)
        if (cart.ram("obj_kind", i) == KIND_HOLLOW) return i;
    ADD_FAILURE() << run << ": no Hollow Wisp";
    return 0;
}

TEST(CrownRules, TheHollowWispBreathesInAndPullsTheMagesToIt) {
    // a mage standing on either side while it breathes in drifts towards its middle, a
    // pixel a frame; the breath starts with effect 15
    for (int side : {-1, 1}) {
        Cartridge cart;
        int boss = hollowWisp(cart, "spire_solo");
        bool heard = false;
        for (int f = 0; f < 600 && cart.ram("obj_state", boss) != 4; f++) cart.run();
        ASSERT_EQ(cart.ram("obj_state", boss), 4) << "it never breathed in";
        for (int f = 0; f < 3; f++) heard |= voiceHas(cart, 15);
        EXPECT_TRUE(heard) << "effect 15";
        const int middle = cart.ram("obj_x", boss) + 8, from = middle + side * 60;
        cart.nes->cpu->ram[cart.addr("pl_x") & 0x7FF] = (unsigned char)from;
        cart.run(30);
        ASSERT_EQ(cart.ram("obj_state", boss), 4) << "still breathing in";
        EXPECT_EQ(cart.ram("pl_x"), from - side * 30) << "pulled from " << side * 60 << " pixels";
    }
}

TEST(CrownRules, TheHollowWispFallsTheMusicFadesAndTheEndingFollowsTheDoor) {
    // its last heart taken by a bolt, for one player and for four: the music fades, the
    // ember goes free; through the door, the ending under the mysterious music, the flame
    // catching with effect 21, and a player's A back to the title
    struct Case {
        const char* run;
        int presser;  // the player whose A ends it
    } cases[] = {{"spire_solo", 0}, {"spire_four", 3}};
    for (const Case& c : cases) {
        Cartridge cart;
        int boss = hollowWisp(cart, c.run);
        cart.nes->cpu->ram[(cart.addr("obj_hp") + boss) & 0x7FF] = 1;
        cart.nes->cpu->ram[(cart.addr("obj_state") + boss) & 0x7FF] = 3;  // dazed, where it is
        cart.nes->cpu->ram[(cart.addr("obj_timer") + boss) & 0x7FF] = 200;
        const int by = cart.ram("obj_y", boss) | cart.ram("obj_yh", boss) << 8;
        cart.nes->cpu->ram[cart.addr("pl_x") & 0x7FF] = (unsigned char)(cart.ram("obj_x", boss) - 48);
        cart.nes->cpu->ram[cart.addr("pl_y") & 0x7FF] = (unsigned char)(by & 255);
        cart.nes->cpu->ram[cart.addr("pl_yh") & 0x7FF] = (unsigned char)(by >> 8);
        cart.nes->cpu->ram[cart.addr("pl_flags") & 0x7FF] &= ~0x40;  // facing right
        bool faded = false, ember = false;
        for (int f = 0; f < 120 && !ember; f++) {
            cart.hold(0, f % 10 < 2 ? B : 0);
            cart.run();
            faded |= (cart.ram("snd_flags") & 4) != 0;
            for (int i = 0; i < 10; i++) ember |= cart.ram("obj_kind", i) == KIND_EMBER;
        }
        cart.release(0);
        EXPECT_EQ(cart.ram("boss_hp"), 0) << c.run;
        EXPECT_TRUE(faded) << c.run << ": the evil music fades";
        EXPECT_TRUE(ember) << c.run << ": the ember goes free";
        // the rest of the way as the run went it, from the floor's end
        Cartridge end;
        replay(end, c.run, "t4clear4");
        for (int f = 0; f < 900 && end.ram("game_state") != STATE_END; f++) end.run();
        ASSERT_EQ(end.ram("game_state"), STATE_END) << c.run;
        // before the flame catches, the battlement under the mages shows against the sky
        end.run(20);
        Picture dark = end.picture();
        std::set<uint32_t> battlement;
        for (int y = 88; y < 120; y++)
            for (int x = 48; x < 208; x++) battlement.insert(dark.at(x, y));
        EXPECT_GE(battlement.size(), 2u) << c.run << ": the battlement in the dark";
        bool caught = false;
        for (int f = 0; f < 250; f++) {
            end.run();
            caught |= voiceHas(end, 21);
        }
        EXPECT_EQ(end.ram("snd_track"), 0) << c.run << ": the mysterious music";
        EXPECT_TRUE(caught) << c.run << ": the flame catches with effect 21";
        // in the firelight the brazier still stands against the night sky: beside its stand
        // (x 127-128) the sky shows as it does far from it
        Picture lit = end.picture();
        int notSky = 0;
        for (int y = 84; y < 86; y++)
            for (int x = 116; x < 140; x++) notSky += (x < 127 || x > 128) && lit.at(x, y) != lit.at(0, 0);
        EXPECT_EQ(notSky, 0) << c.run << ": pixels beside the lit brazier's stand that are not the sky";
        end.tap(c.presser, A);
        end.run(2);
        EXPECT_EQ(end.ram("game_state"), 0) << c.run << ": player " << c.presser + 1 << "'s A, back to the title";
    }
}

// Which pixels of the picture the sprites cover (colour 0 is see-through), from sprite
// memory and the sprite patterns as the console reads them.
struct SpritePixels {
    bool at[240][256] = {};
    explicit SpritePixels(const vek::nes::Ppu& ppu) {
        const unsigned int base = (ppu.ctrl & 0x08) ? 0x1000 : 0;
        for (int i = 0; i < 64; i++) {
            const unsigned char* s = &ppu.oam[4 * i];
            const unsigned char* tile = ppu.vram + base + s[1] * 16;
            for (int r = 0; r < 8; r++) {
                int y = s[0] + 1 + r, row = (s[2] & 0x80) ? 7 - r : r;
                if (y >= 240) break;
                for (int c = 0; c < 8; c++) {
                    int bit = (s[2] & 0x40) ? c : 7 - c, x = s[3] + c;
                    if (x < 256 && ((tile[row] | tile[row + 8]) >> bit & 1)) at[y][x] = true;
                }
            }
        }
    }
    // whether any sprite pixel lies in columns x0..x1-1 of rows y0..y1-1
    bool any(int x0, int x1, int y0, int y1) const {
        for (int y = std::max(y0, 0); y < std::min(y1, 240); y++)
            for (int x = std::max(x0, 0); x < std::min(x1, 256); x++)
                if (at[y][x]) return true;
        return false;
    }
};

TEST(GameRules, WhatStandsOrHangsIsDrawnTouchingWhatHoldsItAsTheViewClimbs) {
    // Over both climbs of the whole spire, every frame: each enemy, boss and flame jet that
    // stands on its ground is drawn down to the row just above it, and a spider hangs from
    // stone or a ledge, its thread all the way up to it (or to the status display). The
    // view climbs up to three pixels a frame; whatever is drawn from where the view was
    // before it climbed floats over its ground.
    const int KIND_SPIDER = 2, KIND_TROLL = 3, KIND_GOAT = 10, KIND_SPEARMAN = 12, KIND_INKGOAT = 17,
              KIND_THORN = 19, MTT_SOLID = gfxConstant("MTT_SOLID"), MTT_LEDGE = gfxConstant("MTT_LEDGE");
    struct Kind {
        int kind, width, height;  // the drawn picture, pixels; its ground is at the bottom
    } kinds[] = {{KIND_TROLL, 32, 32}, {KIND_INKGOAT, 32, 32}, {KIND_THORN, 32, 32}, {KIND_GOAT, 16, 16},
                 {KIND_SPEARMAN, 16, 16}, {KIND_SNAKE, 16, 16}, {KIND_JET, 16, 16}};
    std::map<int, int> checked, whileClimbing;  // kind -> frames it was looked at
    int threads = 0, longThreads = 0;
    for (const char* run : {"spire_solo", "spire_four"}) {
        vektest::Recording rec;
        ASSERT_TRUE(rec.load(std::string(VEK_TEST_DATA_DIR) + "/runs/" + run + ".txt"));
        Cartridge cart;
        int camBefore = -1;
        for (int f = 0; f <= rec.endFrame; f++) {
            auto it = rec.changes.find(f);
            if (it != rec.changes.end())
                for (auto& c : it->second) cart.hold(c.first, c.second);
            cart.run();
            const int cam = cart.ram16("cam_y");
            const bool climbed = cam != camBefore;
            camBefore = cam;
            // the floor being played, its sprite memory not full (then objects take turns)
            if (cart.ram("game_state") != 2 || cart.ram("oam_used") == cart.ram("oam_last")) continue;
            SpritePixels px(*cart.nes->ppu);
            for (int i = 0; i < 10; i++) {
                const int kind = cart.ram("obj_kind", i), x = cart.ram("obj_x", i);
                const int y = (cart.ram("obj_y", i) | cart.ram("obj_yh", i) << 8) - cam;
                if (kind == KIND_SPIDER) {
                    // what it hangs from: the metatile over its first place (a ledge holds it by
                    // the plank, 12 pixels up the ledge's cell)
                    const int ay = cart.ram("obj_ay", i) | cart.ram("obj_ayh", i) << 8, row = ay / 16 - 1;
                    if (y < 16 || y > 224 || row < cart.ram("cmap_top") || row >= cart.ram("cmap_top") + 32) continue;
                    const int holder = cart.nes->cpu->ghostRead8(
                        cart.addr("mt_type") + cart.ram("cmap", (row % 32) * 16 + (x + 7) / 16));
                    EXPECT_TRUE(holder == MTT_SOLID || holder == MTT_LEDGE)
                        << run << " frame " << f << ": the spider in slot " << i << " hangs from behaviour " << holder;
                    const int hangs = ay - cam - (holder == MTT_LEDGE ? 12 : 0);
                    const int top = std::max(hangs, 8);  // nothing is drawn behind the status display
                    threads++;
                    longThreads += y - hangs > 32;
                    EXPECT_TRUE(px.any(x + 7, x + 8, top, top + 1))
                        << run << " frame " << f << ": the thread of the spider in slot " << i << " (" << y - hangs
                        << " pixels below where it hangs) stops short of screen row " << top;
                    continue;
                }
                for (const Kind& k : kinds) {
                    if (k.kind != kind) continue;
                    const int ground = y + k.height;  // the screen row its ground starts on
                    if (y < 16 || ground > 239 || (y + cam + k.height) % 16 != 0) break;
                    if (kind == KIND_JET && cart.ram("obj_state", i) != 2) break;  // only while it burns
                    checked[kind]++;
                    whileClimbing[kind] += climbed;
                    EXPECT_TRUE(px.any(x - 2, x + k.width + 2, ground - 1, ground))
                        << run << " frame " << f << ": kind " << kind << " in slot " << i
                        << " is drawn over its ground at screen row " << ground << (climbed ? " as the view climbs" : "");
                    break;
                }
            }
            if (::testing::Test::HasFailure()) return;
        }
    }
    for (const Kind& k : kinds) {
        EXPECT_GE(checked[k.kind], 60) << "kind " << k.kind << " was seen standing";
    }
    int climbing = 0;
    for (auto& c : whileClimbing) climbing += c.second;
    for (auto& c : checked)
        printf("kind %d: seen standing in %d frames, %d of them as the view climbed\n", c.first, c.second,
               whileClimbing[c.first]);
    printf("spiders: %d frames, %d of them hanging more than 32 pixels down\n", threads, longThreads);
    EXPECT_GE(climbing, 100) << "frames in which the view climbed with something standing in it";
    EXPECT_GE(longThreads, 100) << "spiders seen hanging far below where they hang from (of " << threads << ")";
}

// Sprites on each of the 240 lines, as the console finds them in sprite memory: the
// original console shows the first 8 of a line and drops the rest.
struct SpriteLines {
    using Sprite = std::tuple<int, int, int, int>;  // y, tile, attributes, x
    std::vector<Sprite> line[240];                   // in sprite-memory order
    explicit SpriteLines(const unsigned char* oam) {
        for (int i = 0; i < 64; i++) {
            const unsigned char* s = oam + 4 * i;
            for (int y = s[0] + 1; y <= s[0] + 8 && y < 240; y++) line[y].push_back({s[0], s[1], s[2], s[3]});
        }
    }
};

// The status display is drawn first: in the order the game drew them, its sprites lead, in
// its two rows (screen y 8 and 16). The game's sprites go oam_step bytes apart from
// oam_start.
int statusSpritesOnOneLine(Cartridge& cart) {
    const unsigned char* oam = cart.nes->ppu->oam;
    int start = cart.ram("oam_start"), step = cart.ram("oam_step"), worst = 0, count[240] = {};
    for (int k = 0; k < 63; k++) {
        const unsigned char* s = oam + ((start + step * k) & 255);
        if (s[0] != 7 && s[0] != 15) break;
        for (int y = s[0] + 1; y <= s[0] + 8; y++) worst = std::max(worst, ++count[y]);
    }
    return worst;
}

// whether sprite s has a pixel of its own at screen x, y
bool spritePixel(const vek::nes::Ppu& ppu, const unsigned char* s, int x, int y) {
    int row = y - (s[0] + 1), col = x - s[3];
    if (row < 0 || row > 7 || col < 0 || col > 7) return false;
    unsigned address = (ppu.ctrl & 8 ? 0x1000 : 0) + s[1] * 16 + (s[2] & 0x80 ? 7 - row : row);
    int bits = ppu.read8(address) | ppu.read8(address + 8);
    return bits >> (s[2] & 0x40 ? col : 7 - col) & 1;
}

// Whether the status display stands on pale ground: the background its sprites (those of
// the two status rows, see statusSpritesOnOneLine) show between their own pixels is
// mostly pale, brighter than the mid greys, so that its white digits and highlights are
// hard to read. A bright line or spot behind one digit (a ledge's grass, a portal) is not
// pale ground, nor are the pixels of other sprites (a duck passing behind).
bool statusOnPaleGround(Cartridge& cart, const Picture& picture) {
    const vek::nes::Ppu& ppu = *cart.nes->ppu;
    const unsigned char* oam = ppu.oam;
    int start = cart.ram("oam_start"), step = cart.ram("oam_step"), clear = 0, pale = 0;
    for (int k = 0; k < 63; k++) {
        const unsigned char* s = oam + ((start + step * k) & 255);
        if (s[0] != 7 && s[0] != 15) break;
        for (int y = s[0] + 1; y <= s[0] + 8; y++)
            for (int x = s[3]; x < s[3] + 8 && x < 256; x++) {
                bool sprite = false;
                for (int i = 0; i < 64 && !sprite; i++) sprite = spritePixel(ppu, oam + 4 * i, x, y);
                if (sprite) continue;
                clear++;
                uint32_t p = picture.at(x, y);
                // luma, 0 to 255: the mid grey $00 is 88, the pale grey $10 161
                int luma = (54 * (p >> 16) + 183 * (p >> 8 & 255) + 19 * (p & 255)) >> 8;
                if (luma > 128) pale++;
            }
    }
    return 2 * pale > clear;
}

// The recorded runs of tests/data/runs (made with tools/autoplay from the .plan files beside
// them), replayed instruction by instruction: every frame ends at its marker, the main loop
// always finishes before the vertical blank, and the pictures of the marked moments are kept.
// Sprite memory is watched every frame: the status display alone never puts more than 8 on
// a line, and a line of more than 8 whose sprites stay where they were comes in another
// order on the next frame, so that the console leaves out others each time.
class RecordedRun : public ::testing::TestWithParam<const char*> {};

TEST_P(RecordedRun, KeepsTheFrameBudgetAndTheSpriteLimit) {
    vektest::Recording rec;
    std::string name = GetParam();
    ASSERT_TRUE(rec.load(std::string(VEK_TEST_DATA_DIR) + "/runs/" + name + ".txt"));
    Cartridge cart;
    int worstFrame = 0, lastGems = 0, crowdedLines = 0, stillLines = 0, mostOnALine = 0, statusMost = 0;
    int statusLooks = 0, paleFrames = 0, firstPale = -1;  // the status display looked at every 8th frame
    std::map<int, int> tierWorstWork;  // tier -> the main loop's longest frame in it
    SpriteLines before(cart.nes->ppu->oam);
    for (int f = 0; f <= rec.endFrame; f++) {
        auto it = rec.changes.find(f);
        if (it != rec.changes.end())
            for (auto& c : it->second) cart.hold(c.first, c.second);
        int worstBefore = cart.worstWork;
        bool marker = cart.stepFrame();
        if (f > 0) {
            ASSERT_TRUE(marker) << name << ": frame " << f << " ran out of budget";
        }
        if (cart.worstWork > worstBefore) worstFrame = f;
        int& tierWorst = tierWorstWork[cart.ram("tier")];
        tierWorst = std::max(tierWorst, cart.lastWork);
        SpriteLines now(cart.nes->ppu->oam);
        // not at power-on (sprite memory is all zeros), nor while the picture is off
        bool shown = f > TITLE_SETTLED && cart.ram("nmi_busy") == 0 && cart.ram("ppu_mask") != 0;
        for (int y = 0; y < 240 && shown; y++) {
            auto& line = now.line[y];
            mostOnALine = std::max(mostOnALine, (int)line.size());
            if (line.size() <= 8) continue;
            crowdedLines++;
            auto sorted = line, sortedBefore = before.line[y];
            std::sort(sorted.begin(), sorted.end());
            std::sort(sortedBefore.begin(), sortedBefore.end());
            if (sorted != sortedBefore) continue;  // something moved: a new line
            stillLines++;
            ASSERT_NE(line, before.line[y]) << name << ": " << line.size() << " sprites on line " << y
                                            << " in the same order at frames " << f - 1 << " and " << f;
        }
        before = now;
        if (cart.ram("game_state") >= 2 && cart.ram("game_state") <= 4) {
            int status = statusSpritesOnOneLine(cart);
            statusMost = std::max(statusMost, status);
            ASSERT_LE(status, 8) << name << ": the status display alone at frame " << f;
            if (f % 8 == 0) {
                statusLooks++;
                if (statusOnPaleGround(cart, cart.picture()) && !paleFrames++) firstPale = f;
            }
        }
        auto mark = rec.marks.find(f + 1);
        if (mark == rec.marks.end()) continue;
        vektest::savePicture(vektest::shotPath(name + "-" + mark->second + ".png"), cart.picture());
        // the end of every floor ("clearN" in the Cellars, "tTclearN" in tier T): the
        // floor and tier it was, every mage through the door with hearts, emeralds kept
        int tier = 0, floor = 0;
        if (sscanf(mark->second.c_str(), "clear%d", &floor) != 1 &&
            sscanf(mark->second.c_str(), "t%dclear%d", &tier, &floor) == 2)
            tier--;
        if (floor == 0) continue;
        EXPECT_EQ(cart.ram("game_state"), 3) << mark->second;
        EXPECT_EQ(cart.ram("tier"), tier) << mark->second;
        EXPECT_EQ(cart.ram("floor_num"), floor - 1) << mark->second;
        for (int p = 0; p < 4; p++)
            if (cart.ram("pl_state", p) != PS_NONE) {
                EXPECT_EQ(cart.ram("pl_state", p), 3) << mark->second << ": mage " << p + 1 << " went through";
                EXPECT_GE(cart.ram("pl_hearts", p), 1) << mark->second;
            }
        int gems = cart.ram("gems", 2) * 100 + cart.ram("gems", 1) * 10 + cart.ram("gems");
        if (floor < 4) {
            EXPECT_GT(gems, lastGems) << mark->second << ": emeralds picked up on the floor";
        }
        EXPECT_GE(gems, lastGems) << mark->second << ": emeralds kept";
        lastGems = gems;
    }
    EXPECT_EQ(cart.ram("lag_count"), 0) << "the main loop missed a vertical blank";
    EXPECT_LE(cart.worstWork, MAIN_LOOP_LIMIT) << "at frame " << worstFrame;
    EXPECT_GE(statusMost, 4) << "the status display was seen";
    EXPECT_EQ(paleFrames, 0) << name << ": the status display stood on pale ground in " << paleFrames << " of "
                             << statusLooks << " frames looked at, first at frame " << firstPale;
    printf("%s: %d frames, the main loop's longest frame took %d cycles (frame %d), of %d before the NMI\n",
           name.c_str(), rec.endFrame + 1, cart.worstWork, worstFrame, MAIN_LOOP_LIMIT);
    for (auto& t : tierWorstWork) printf("%s: tier %d's longest frame: %d cycles\n", name.c_str(), t.first + 1, t.second);
    printf("%s: at most %d sprites on a line (status display alone: %d); %d lines of more than 8, %d of them "
           "standing still from one frame to the next\n",
           name.c_str(), mostOnALine, statusMost, crowdedLines, stillLines);
}

INSTANTIATE_TEST_SUITE_P(Game, RecordedRun,
                         ::testing::Values("spire_solo", "spire_four", "floor1_four", "game_over", "tier2_over"));

}  // namespace
