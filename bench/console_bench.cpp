// Frame costs: one console frame plus its picture on the embedded cartridge, the console
// alone, and the renderer alone on a frame as busy as the picture processor allows.
// Targets: 5,000 console-plus-render frames per second on one core, the renderer under
// 100 microseconds a frame, no heap allocation per frame (the "allocs/frame" counter).

#include <benchmark/benchmark.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_acodec.h>
#include <allegro5/allegro_audio.h>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "nes/cpu.h"
#include "nes/nes.h"
#include "nes/ppu.h"
#include "nes/rom_data.h"
#include "nes/vek_apu.h"
#include "video/renderer.h"

// Every heap allocation of the program's thread goes through one of these counters: C++
// allocations through the global operator new, Allegro's own through its memory interface.
// Allegro's mixer and stream threads allocate on their own schedule and are not counted.
static long g_allocations = 0;
static pthread_t g_mainThread = pthread_self();

static void countAllocation() {
    if (pthread_equal(pthread_self(), g_mainThread)) g_allocations++;
}

// kept out of line: inlined, malloc() and free() meet new and delete expressions and draw a
// (false) mismatch warning
__attribute__((noinline)) void* operator new(std::size_t size) {
    countAllocation();
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
__attribute__((noinline)) void* operator new[](std::size_t size) { return operator new(size); }
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

void* countedMalloc(size_t n, int, const char*, const char*) {
    countAllocation();
    return std::malloc(n);
}
void countedFree(void* p, int, const char*, const char*) { std::free(p); }
void* countedRealloc(void* p, size_t n, int, const char*, const char*) {
    countAllocation();
    return std::realloc(p, n);
}
void* countedCalloc(size_t count, size_t n, int, const char*, const char*) {
    countAllocation();
    return std::calloc(count, n);
}
ALLEGRO_MEMORY_INTERFACE g_countingInterface = {countedMalloc, countedFree, countedRealloc, countedCalloc};

// Allegro with memory bitmaps and, as in the program, the sound player working: a null sound
// device and, when the build's game folder has them, the effect files
void initAllegro() {
    static bool done = false;
    if (done) return;
    done = true;
    al_set_memory_interface(&g_countingInterface);
    setenv("ALSOFT_DRIVERS", "null", 0);
    al_init();
    if (al_install_audio()) al_init_acodec_addon();
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (n > 0) {
        exe[n] = '\0';
        std::string gameDir = std::string(exe);
        gameDir = gameDir.substr(0, gameDir.rfind('/')) + "/../game";
        struct stat st;
        bool found = stat((gameDir + "/" + vek::nes::SFX_INFO[0].filename).c_str(), &st) == 0 &&
                     stat((gameDir + "/" + vek::nes::MUSIC_INFO[0].filename).c_str(), &st) == 0 &&
                     chdir(gameDir.c_str()) == 0;
        if (!found) fprintf(stderr, "console_bench: no sound files in %s; the sound player runs silent\n", gameDir.c_str());
    }
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
}

// a small deterministic generator for the busy frame's contents
struct Lcg {
    unsigned int state = 12345;
    unsigned int next() {
        state = state * 1103515245u + 12345u;
        return state >> 16;
    }
};

// both nametables full of non-zero tiles with mixed palettes, every pattern busy,
// 64 sprites on screen with every priority and flip, scrolled so that four placements draw
void fillBusyFrame(vek::nes::Ppu& ppu) {
    Lcg rng;
    ppu.setNametableMirroring(0);
    for (unsigned int a = 0; a < 0x2000; a++) ppu.vram[a] = (unsigned char)rng.next();
    for (unsigned int t = 0; t < 2; t++) {
        unsigned int table = t ? 0x2800 : 0x2000;
        for (unsigned int i = 0; i < 960; i++) ppu.write8(table + i, (unsigned char)(1 + rng.next() % 255));
        for (unsigned int i = 960; i < 1024; i++) ppu.write8(table + i, (unsigned char)rng.next());
    }
    for (unsigned int i = 0; i < 32; i++) ppu.write8(0x3F00 + i, (unsigned char)(rng.next() % 64));
    for (int n = 0; n < 64; n++) {
        ppu.oam[4 * n] = (unsigned char)(rng.next() % 232);
        ppu.oam[4 * n + 1] = (unsigned char)rng.next();
        ppu.oam[4 * n + 2] = (unsigned char)rng.next();
        ppu.oam[4 * n + 3] = (unsigned char)(rng.next() % 249);
    }
    ppu.ctrl = 0x19;  // second nametable, both pattern tables in use
    ppu.scrollX = 3;
    ppu.scrollY = 5;
}

const int HELD_BUTTONS = vek::nes::BUTTON_A | vek::nes::BUTTON_RIGHT;

// Allocations counted around the frame's own calls only, not the benchmark's bookkeeping.
// The sound player opens a stream whenever the game starts a music track, so a console frame
// may allocate now and then; "allocating frames" counts those frames.
struct AllocationCount {
    long allocations = 0;
    long frames = 0;
    void add(long before) {
        long n = g_allocations - before;
        allocations += n;
        frames += n > 0;
    }
};

void reportAllocations(benchmark::State& state, const AllocationCount& count) {
    state.counters["allocs/frame"] = benchmark::Counter((double)count.allocations / (double)state.iterations());
    state.counters["allocating frames"] = benchmark::Counter((double)count.frames);
}

}  // namespace

static void BM_ConsoleFrameAndRender(benchmark::State& state) {
    initAllegro();
    long atStart = g_allocations;
    vek::nes::Nes* nes = new vek::nes::Nes();
    nes->loadInternalRom(vek::ROM_DATA);
    long afterConsole = g_allocations;
    vek::Renderer* renderer = new vek::Renderer(nes->ppu);
    // the counters must see both kinds: the console's objects and the renderer's bitmap
    if (afterConsole == atStart || g_allocations == afterConsole) {
        state.SkipWithError("allocations are not being counted");
        delete renderer;
        delete nes;
        return;
    }
    for (int player = 0; player < 4; player++) nes->setButtons(player, HELD_BUTTONS);
    // past start-up, into the game's steady frames
    for (int i = 0; i < 120; i++) nes->update();

    AllocationCount allocations;
    for (auto _ : state) {
        long before = g_allocations;
        nes->update();
        renderer->update();
        allocations.add(before);
    }
    reportAllocations(state, allocations);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("items/s = frames per second");
    delete renderer;
    delete nes;
}
BENCHMARK(BM_ConsoleFrameAndRender)->Unit(benchmark::kMicrosecond);

static void BM_ConsoleFrame(benchmark::State& state) {
    initAllegro();
    vek::nes::Nes* nes = new vek::nes::Nes();
    nes->loadInternalRom(vek::ROM_DATA);
    for (int player = 0; player < 4; player++) nes->setButtons(player, HELD_BUTTONS);
    for (int i = 0; i < 120; i++) nes->update();

    AllocationCount allocations;
    long cycles = 0;
    for (auto _ : state) {
        long before = g_allocations;
        nes->update();
        allocations.add(before);
        cycles += vek::nes::Nes::FRAME_BUDGET - nes->cpu->cyclesLeft;
    }
    reportAllocations(state, allocations);
    state.counters["cycles/frame"] = benchmark::Counter((double)cycles / (double)state.iterations());
    state.SetItemsProcessed(state.iterations());
    delete nes;
}
BENCHMARK(BM_ConsoleFrame)->Unit(benchmark::kMicrosecond);

static void BM_RendererBusyFrame(benchmark::State& state) {
    initAllegro();
    vek::nes::Ppu* ppu = new vek::nes::Ppu(nullptr);
    fillBusyFrame(*ppu);
    vek::Renderer* renderer = new vek::Renderer(ppu);

    AllocationCount allocations;
    for (auto _ : state) {
        long before = g_allocations;
        renderer->update();
        allocations.add(before);
    }
    reportAllocations(state, allocations);
    state.SetItemsProcessed(state.iterations());
    delete renderer;
    delete ppu;
}
BENCHMARK(BM_RendererBusyFrame)->Unit(benchmark::kMicrosecond);
