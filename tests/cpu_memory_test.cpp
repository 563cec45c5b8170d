// The CPU's view of memory (work RAM mirrors, the register range, program ROM), ghost
// accesses, pointer reads, the stack, interrupt entry and the run loops' frame timing.
#include <gtest/gtest.h>

#include "console_support.h"

using vektest::TestConsole;

TEST(CpuMemoryMap, ReadsAndWritesOfEachRange) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    cpu->ram[1] = 0x5A;
    cpu->ram[0x10] = 0x77;
    console.poke(0x8000, {0x11});
    console.poke(0xFFFF, {0x22});
    const struct {
        unsigned int address, value;
    } reads[] = {
        {0x0001, 0x5A}, {0x0801, 0x5A}, {0x1001, 0x5A}, {0x1801, 0x5A},  // work RAM four times
        {0x10010, 0x77},                                                 // addresses modulo 64K
        {0x8000, 0x11}, {0xFFFF, 0x22},                                  // program ROM
        // register addresses that nothing answers, and no cartridge RAM
        {0x2008, 0xFF}, {0x4015, 0xFF}, {0x4018, 0xFF}, {0x5FFF, 0xFF}, {0x6000, 0xFF}, {0x7FFF, 0xFF},
    };
    for (const auto& r : reads) EXPECT_EQ(cpu->read8(r.address), r.value) << std::hex << r.address;

    cpu->write8(0x1FFF, 0x33);
    EXPECT_EQ(cpu->ram[0x7FF], 0x33);
    cpu->write8(0x0800, 0x44);
    EXPECT_EQ(cpu->ram[0], 0x44);
    cpu->write8(0x10011, 0x66);
    EXPECT_EQ(cpu->ram[0x11], 0x66);
    cpu->write8(0x6000, 0x12);
    EXPECT_EQ(cpu->read8(0x6000), 0xFFu);
    cpu->write8(0x8000, 0x99);
    cpu->write8(0xFFFF, 0x99);
    EXPECT_EQ(cpu->prgRom[0], 0x11);
    EXPECT_EQ(cpu->prgRom[0x7FFF], 0x22);
}

// Ghost accesses (the trace's, the dump's) reach work RAM and program ROM only, shift no
// controller, clear no flag, start no DMA and do not wrap above 64K.
TEST(CpuMemoryMap, GhostAccessesHaveNoSideEffects) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    vek::nes::Nes* nes = console.nes;
    console.ppu->status = 0x80;
    EXPECT_EQ(cpu->ghostRead8(0x2002), 0xFFu);
    EXPECT_EQ(console.ppu->status, 0x80);
    EXPECT_EQ(cpu->read8(0x2002), 0x80u);
    EXPECT_EQ(console.ppu->status, 0x00);
    EXPECT_EQ(cpu->read8(0x2002), 0x00u);

    nes->setButtons(0, 0xFF);
    nes->writeRegister(0x4016, 1);
    nes->writeRegister(0x4016, 0);
    EXPECT_EQ(cpu->ghostRead8(0x4016), 0xFFu);
    EXPECT_EQ(nes->shiftRegisters[0], 0xFF);  // nothing shifted
    for (unsigned int address = 0x2000; address < 0x8000; address += 0x101) EXPECT_EQ(cpu->ghostRead8(address), 0xFFu);

    cpu->ghostWrite8(0x0801, 0x42);
    EXPECT_EQ(cpu->ram[1], 0x42);
    cpu->ghostWrite8(0x2000, 0x80);
    cpu->ghostWrite8(0x4014, 0x02);
    cpu->ghostWrite8(0x4016, 0x01);
    cpu->ghostWrite8(0x8000, 0x55);
    EXPECT_EQ(console.ppu->ctrl, 0);
    EXPECT_EQ(nes->strobe, 0);
    EXPECT_EQ(cpu->prgRom[0], 0);
    EXPECT_EQ(cpu->cyclesLeft, 0);  // no DMA ran

    cpu->ram[0x10] = 0x77;
    EXPECT_EQ(cpu->ghostRead8(0x10010), 0xFFu);
    console.poke(0xFFFF, {0x34});
    cpu->ram[0] = 0x12;
    EXPECT_EQ(cpu->ghostRead16(0xFFFF), 0xFF34u);
    EXPECT_EQ(cpu->read16(0xFFFF), 0x1234u);  // a 16-bit read at $FFFF takes its high byte from $0000
}

// The pointer reads of the trace agree with the CPU's: a page-zero pointer at $FF takes its
// high byte from $00, and the indexed sum wraps at $10000; the high byte of a jump pointer
// comes from the start of its page ($10FF takes it from $1000, which mirrors $0000).
TEST(CpuMemoryMap, PointerReadsWrapInsideTheirPage) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    cpu->ram[0xFF] = 0x34;
    cpu->ram[0x00] = 0x12;
    cpu->ram[0x100] = 0x56;
    cpu->ram[0x234] = 0xAB;  // $1234 mirrors $0234
    cpu->ram[0x244] = 0xCD;
    EXPECT_EQ(cpu->ghostRead8Ind(0xFF), 0xABu);
    EXPECT_EQ(cpu->ghostRead8IndY(0xFF, 0x10), 0xCDu);
    EXPECT_EQ(cpu->read16Wrap(0x10FF), 0x1234u);
    EXPECT_EQ(cpu->ghostRead16Wrap(0x10FF), 0x1234u);
    EXPECT_EQ(cpu->read16(0x10FF), 0x5634u);
    EXPECT_EQ(cpu->ghostRead16(0x10FF), 0x5634u);
    cpu->ram[0x20] = 0xFF;
    cpu->ram[0x21] = 0xFF;
    cpu->ram[0x000F] = 0x99;
    EXPECT_EQ(cpu->ghostRead8IndY(0x20, 0x10), 0x99u);
}

TEST(CpuInterrupts, NmiPushesPcAndStatusOnlyWhilePpuCtrlBit7IsSet) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    console.setVector(0xFFFA, 0x9000);
    cpu->pc = 0xC123;
    cpu->sp = 0xFD;
    cpu->p = 0x01;
    console.ppu->ctrl = 0x7F;
    cpu->fireNmi();
    EXPECT_EQ(cpu->pc, 0xC123u);
    EXPECT_EQ(cpu->sp, 0xFDu);
    console.ppu->ctrl = 0x80;
    cpu->fireNmi();
    EXPECT_EQ(cpu->pc, 0x9000u);
    EXPECT_EQ(cpu->sp, 0xFAu);
    EXPECT_EQ(cpu->ram[0x1FD], 0xC1);
    EXPECT_EQ(cpu->ram[0x1FC], 0x23);
    EXPECT_EQ(cpu->ram[0x1FB], 0x21);  // bit 5 set, B clear
    EXPECT_EQ(cpu->p, 0x01u) << "I stays clear";
}

TEST(CpuReset, ResetLoadsOnlyThePcFromTheVector) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    console.setVector(0xFFFC, 0xC0DE);
    cpu->a = 1;
    cpu->sp = 0x80;
    cpu->p = 0x04;
    cpu->frameCycles = 1000;
    cpu->ram[5] = 9;
    cpu->reset();
    EXPECT_EQ(cpu->pc, 0xC0DEu);
    EXPECT_EQ(cpu->a, 1u);
    EXPECT_EQ(cpu->sp, 0x80u);
    EXPECT_EQ(cpu->p, 0x04u);
    EXPECT_EQ(cpu->frameCycles, 1000);
    EXPECT_EQ(cpu->ram[5], 9);
}

TEST(CpuReset, CopyRomStopsAtTheEndOfProgramRom) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    unsigned char data[16];
    for (int i = 0; i < 16; i++) data[i] = (unsigned char)(0xA0 + i);
    cpu->copyRom(0x7FFC, data, 16);
    EXPECT_EQ(cpu->prgRom[0x7FFC], 0xA0);
    EXPECT_EQ(cpu->prgRom[0x7FFF], 0xA3);
    cpu->copyRom(0x8000, data, 16);  // past the end: nothing
    cpu->copyRom(0, data, 0);        // nothing to copy
    EXPECT_EQ(cpu->prgRom[0], 0);
    EXPECT_EQ(cpu->ram[0], 0);
}

namespace {

// program ROM full of NOPs (2 cycles each), entered at $8000
void fillWithNops(TestConsole& console) {
    for (int i = 0; i < 0x7FF0; i++) console.cpu->prgRom[i] = 0xEA;
    console.cpu->pc = 0x8000;
}

}  // namespace

// Vertical blank begins once more than 27393 cycles of the frame have passed, right after the
// instruction that crosses the mark, and with it the NMI, once, if PPUCTRL lets it through.
TEST(CpuFrameTiming, VblankAndItsNmiBeginOnceMoreThan27393CyclesHavePassed) {
    for (bool nmiOn : {false, true}) {
        SCOPED_TRACE(nmiOn);
        TestConsole console;
        vek::nes::Cpu* cpu = console.cpu;
        fillWithNops(console);
        console.setVector(0xFFFA, 0x9000);
        console.ppu->ctrl = nmiOn ? 0x80 : 0x00;
        cpu->sp = 0xFD;
        cpu->frameCycles = 27391;
        cpu->run(2);  // one NOP: 27393, not yet
        EXPECT_EQ(cpu->frameCycles, 27393);
        EXPECT_EQ(cpu->inVblank, 0);
        EXPECT_EQ(console.ppu->status, 0);
        cpu->run(1);  // 27395
        EXPECT_EQ(cpu->inVblank, 1);
        EXPECT_EQ(console.ppu->status, 0x80);
        EXPECT_EQ(cpu->pc, nmiOn ? 0x9000u : 0x8002u);
        EXPECT_EQ(cpu->sp, nmiOn ? 0xFAu : 0xFDu);
        if (!nmiOn) continue;
        EXPECT_EQ(cpu->ram[0x1FD], 0x80);
        EXPECT_EQ(cpu->ram[0x1FC], 0x02);
        cpu->run(100);
        EXPECT_EQ(cpu->sp, 0xFAu) << "not entered again while vertical blank lasts";
    }
}

TEST(CpuFrameTiming, FrameEndsOnceMoreThan29780CyclesHavePassed) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    // INC $10: 5 cycles
    for (int i = 0; i < 0x7FF0; i += 2) {
        cpu->prgRom[i] = 0xE6;
        cpu->prgRom[i + 1] = 0x10;
    }
    cpu->pc = 0x8000;
    cpu->inVblank = 1;
    console.ppu->status = 0x80;
    cpu->frameCycles = 29775;
    cpu->run(1);  // 29780: still in vertical blank
    EXPECT_EQ(cpu->frameCycles, 29780);
    EXPECT_EQ(cpu->inVblank, 1);
    cpu->frameCycles = 29779;
    cpu->run(1);  // 29784: the frame ends, the cycles beyond it are dropped
    EXPECT_EQ(cpu->frameCycles, 0);
    EXPECT_EQ(cpu->inVblank, 0);
    EXPECT_EQ(console.ppu->status, 0);
}

TEST(CpuFrameTiming, RunsStopWhenTheBudgetIsSpentOrAtTheMarker) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    console.program(0x8000, {0x4C, 0x00, 0x80});  // JMP $8000: 3 cycles
    cpu->runUntilRenderDone(10);
    EXPECT_EQ(cpu->cyclesLeft, -2);  // 4 jumps: 12 cycles
    EXPECT_EQ(cpu->frameCycles, 12);
    EXPECT_FALSE(cpu->renderDone);

    // NOP NOP marker INX INX: the marker ends the run with budget left
    TestConsole second;
    cpu = second.cpu;
    second.program(0x8000, {0xEA, 0xEA, 0x04, 0x00, 0xE8, 0xE8, 0x04, 0x00});
    cpu->runUntilRenderDone(59562);
    EXPECT_TRUE(cpu->renderDone);
    EXPECT_EQ(cpu->pc, 0x8004u);
    EXPECT_EQ(cpu->cyclesLeft, 59562 - 4);
    EXPECT_EQ(cpu->x, 0u);
    // the next run starts again with the flag cleared and continues after the marker
    cpu->runUntilRenderDone(59562);
    EXPECT_EQ(cpu->x, 2u);
    EXPECT_EQ(cpu->pc, 0x8008u);
    // run() goes on past it
    second.program(0x8000, {0x04, 0x00, 0xE8, 0xE8, 0xE8});
    cpu->renderDone = false;
    cpu->run(6);
    EXPECT_TRUE(cpu->renderDone);
    EXPECT_EQ(cpu->x, 5u);
    EXPECT_EQ(cpu->cyclesLeft, 0);
}

TEST(CpuFrameTiming, SpriteDmaAddsItsCyclesToTheStoringInstruction) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    console.program(0x8000, {0x8D, 0x14, 0x40, 0x04, 0x00});  // STA $4014, marker
    cpu->runUntilRenderDone(59562);
    EXPECT_EQ(cpu->frameCycles, 4 + 514);
    EXPECT_EQ(cpu->cyclesLeft, 59562 - 518);
}

TEST(CpuFrameTiming, FramePositionCarriesAcrossRuns) {
    // main loop: JMP $C000 forever. NMI: INC $10, marker, RTI.
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    console.program(0xC000, {0x4C, 0x00, 0xC0});
    console.poke(0x9000, {0xE6, 0x10, 0x04, 0x00, 0x40});
    console.setVector(0xFFFA, 0x9000);
    console.ppu->ctrl = 0x80;
    cpu->sp = 0xFF;

    // first frame: jumps until 3 x 9132 = 27396 cycles pass the start of vertical blank,
    // then INC (5) and the marker
    cpu->runUntilRenderDone(59562);
    EXPECT_EQ(59562 - cpu->cyclesLeft, 27401);
    EXPECT_EQ(cpu->ram[0x10], 1);
    EXPECT_EQ(cpu->frameCycles, 27401);

    // later frames: RTI (6), jumps until the frame ends at 29783 (dropped to 0), then the
    // same 27401 cycles again
    for (int frame = 2; frame <= 5; frame++) {
        cpu->runUntilRenderDone(59562);
        EXPECT_EQ(59562 - cpu->cyclesLeft, 6 + 2376 + 27401);
        EXPECT_EQ(cpu->ram[0x10], frame);
        EXPECT_EQ(cpu->sp, 0xFCu);  // inside the handler, its three bytes on the stack
    }
}

TEST(CpuFrameTiming, PpuStatusReadDuringVblankClearsItEarly) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    // LDA $2002 / JMP $8000
    console.program(0x8000, {0xAD, 0x02, 0x20, 0x4C, 0x00, 0x80});
    cpu->frameCycles = 27390;
    cpu->run(4);  // LDA: 27394, vertical blank begins after it
    EXPECT_EQ(console.ppu->status, 0x80);
    cpu->run(7);  // JMP, LDA reads $80 and clears the bit
    EXPECT_EQ(cpu->a, 0x80u);
    EXPECT_EQ(console.ppu->status, 0x00);
    EXPECT_EQ(cpu->inVblank, 1);
}
