// The console object: its register bus, the two controller ports carrying four players,
// loading the cartridge image, the resets and one frame per update().
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "console_support.h"
#include "nes/rom_data.h"

using vektest::TestConsole;

namespace {

void strobe(vek::nes::Nes* nes) {
    nes->writeRegister(0x4016, 1);
    nes->writeRegister(0x4016, 0);
}

}  // namespace

TEST(ControllerPorts, EightReadsDeliverTheButtonsInOrder) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    nes->setButtons(0, vek::nes::BUTTON_A | vek::nes::BUTTON_START);
    strobe(nes);
    const int expected[9] = {0xE1, 0xE0, 0xE0, 0xE1, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0};
    for (int i = 0; i < 9; i++) EXPECT_EQ(nes->readRegister(0x4016), expected[i]) << "read " << i + 1;
}

TEST(ControllerPorts, EachPortCarriesTwoPlayers) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    nes->setButtons(0, 0x00);
    nes->setButtons(2, 0x01);                                         // player 3: A
    nes->setButtons(1, vek::nes::BUTTON_RIGHT);                       // player 2
    nes->setButtons(3, vek::nes::BUTTON_B | vek::nes::BUTTON_RIGHT);  // player 4
    strobe(nes);
    EXPECT_EQ(nes->readRegister(0x4016), 0xE2);
    std::vector<int> port2;
    for (int i = 0; i < 9; i++) port2.push_back(nes->readRegister(0x4017));
    EXPECT_EQ(port2, (std::vector<int>{0xE0, 0xE2, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE3, 0xE0}));
}

TEST(ControllerPorts, WhileStrobeIsHighTheABitIsReadLive) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    EXPECT_EQ(nes->strobe, 1);  // from construction
    nes->setButtons(0, vek::nes::BUTTON_B);
    EXPECT_EQ(nes->readRegister(0x4016), 0xE0);
    nes->setButtons(0, vek::nes::BUTTON_A);
    EXPECT_EQ(nes->readRegister(0x4016), 0xE1);
    EXPECT_EQ(nes->readRegister(0x4016), 0xE1);
    nes->setButtons(3, vek::nes::BUTTON_A);
    EXPECT_EQ(nes->readRegister(0x4017), 0xE2);
    nes->clearButtons(0, vek::nes::BUTTON_A);
    EXPECT_EQ(nes->readRegister(0x4016), 0xE0);
}

TEST(ControllerPorts, AnyWriteReloadsTheShiftRegisters) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    nes->setButtons(1, 0xA5);
    nes->writeRegister(0x4016, 0x02);  // bit 0 clear: strobe off, but the buttons are copied
    EXPECT_EQ(nes->strobe, 0);
    EXPECT_EQ(nes->shiftRegisters[1], 0xA5);
    EXPECT_EQ(nes->readRegister(0x4017), 0xE1);
    EXPECT_EQ(nes->shiftRegisters[1], 0x52);
    // $4017 has no strobe of its own
    nes->writeRegister(0x4017, 0x01);
    EXPECT_EQ(nes->strobe, 0);
    EXPECT_EQ(nes->shiftRegisters[1], 0x52);
}

TEST(ControllerPorts, ButtonWordsSetAndClear) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    nes->setButtons(1, 0x30);
    int before = nes->getButtons(1);
    nes->setButtons(1, 8);
    EXPECT_EQ(nes->getButtons(1), before | 8);
    nes->clearButtons(1, 8);
    EXPECT_EQ(nes->getButtons(1), before);
    nes->clearButtons(1, 0xFF);
    EXPECT_EQ(nes->getButtons(1), 0);
}

TEST(ControllerPorts, GameReadsThePortsThroughTheCpu) {
    // strobe, then eight LDA $4016 / LSR / ROL $10 collect player 1's buttons in $10
    TestConsole console;
    console.nes->setButtons(0, 0x96);
    std::vector<int> code = {0xA9, 0x01, 0x8D, 0x16, 0x40, 0xA9, 0x00, 0x8D, 0x16, 0x40};
    for (int i = 0; i < 8; i++) {
        for (int b : {0xAD, 0x16, 0x40, 0x4A, 0x66, 0x10}) code.push_back(b);  // LDA $4016, LSR A, ROR $10
    }
    unsigned int at = 0xC000;
    for (int b : code) console.poke(at++, {b});
    console.cpu->pc = 0xC000;
    while (console.cpu->pc < at) console.step();
    EXPECT_EQ(console.cpu->ram[0x10], 0x96);
}

TEST(SystemBus, UnansweredAddressesReadMinusOne) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    for (unsigned int a : {0x2008u, 0x3FFFu, 0x4000u, 0x4013u, 0x4015u, 0x4018u, 0x5000u, 0x5FFFu}) {
        EXPECT_EQ(nes->readRegister(a), -1) << std::hex << a;
    }
    EXPECT_EQ(nes->readRegister(0x4014), -1);
    EXPECT_EQ(nes->readRegister(0x2000), -1);
}

TEST(SystemBus, SoundAndOtherWritesAreDropped) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    nes->setButtons(0, 0xFF);
    for (unsigned int a = 0x4000; a <= 0x4013; a++) nes->writeRegister(a, 0xFF);
    nes->writeRegister(0x4015, 0x0F);
    nes->writeRegister(0x4017, 0x40);
    nes->writeRegister(0x6000, 0x01);
    nes->writeRegister(0x8000, 0x01);
    nes->writeRegister(0x2008, 0x80);
    EXPECT_EQ(console.ppu->ctrl, 0);
    EXPECT_EQ(nes->strobe, 1);
    EXPECT_EQ(nes->shiftRegisters[0], 0);
    EXPECT_EQ(console.cpu->prgRom[0], 0);
    EXPECT_EQ(console.cpu->cyclesLeft, 0);
}

TEST(SystemBus, PpuRegistersAndDmaAreRouted) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    nes->writeRegister(0x2000, 0x80);
    EXPECT_EQ(console.ppu->ctrl, 0x80);
    console.ppu->status = 0x80;
    EXPECT_EQ(nes->readRegister(0x2002), 0x80);
    console.cpu->ram[0x700] = 0x3C;
    nes->writeRegister(0x4014, 0x07);
    EXPECT_EQ(console.ppu->oam[0], 0x3C);
    EXPECT_EQ(console.cpu->cyclesLeft, -514);
}

TEST(ConsoleLifecycle, ConstructionState) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    ASSERT_NE(nes->cpu, nullptr);
    ASSERT_NE(nes->ppu, nullptr);
    ASSERT_NE(nes->vekApu, nullptr);
    ASSERT_NE(nes->hooks, nullptr);
    EXPECT_EQ(nes->strobe, 1);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(nes->buttons[i], 0);
        EXPECT_EQ(nes->shiftRegisters[i], 0);
    }
    EXPECT_EQ(nes->cpu->pc, 0u);
    EXPECT_EQ(nes->cpu->nes, nes);
    EXPECT_EQ(nes->ppu->nes, nes);
}

TEST(ConsoleLifecycle, LoadInternalRomCopiesBothHalvesAndResets) {
    std::vector<unsigned char> image(40960);
    for (size_t i = 0; i < image.size(); i++) image[i] = (unsigned char)(i * 13 + (i >> 9));
    image[32764] = 0x34;  // reset vector $C234
    image[32765] = 0xC2;
    TestConsole console;
    console.ppu->setNametableMirroring(1);
    EXPECT_TRUE(console.nes->loadInternalRom(image.data()));
    EXPECT_EQ(memcmp(console.cpu->prgRom, image.data(), 32768), 0);
    EXPECT_EQ(memcmp(console.ppu->vram, image.data() + 32768, 8192), 0);
    EXPECT_EQ(console.cpu->pc, 0xC234u);
    EXPECT_EQ(console.ppu->mirrorMask, 0x400);
    EXPECT_EQ(console.ppu->read8(0x2000), 0u);  // the nametables are not touched
}

TEST(ConsoleLifecycle, TheEmbeddedImageLoads) {
    TestConsole console;
    EXPECT_TRUE(console.nes->loadInternalRom(vek::ROM_DATA));
    EXPECT_EQ(memcmp(console.cpu->prgRom, vek::ROM_DATA, 32768), 0);
    EXPECT_EQ(memcmp(console.ppu->vram, vek::ROM_DATA + 32768, 8192), 0);
    EXPECT_EQ(console.cpu->pc, (unsigned)(vek::ROM_DATA[32764] | vek::ROM_DATA[32765] << 8));
}

TEST(ConsoleLifecycle, SoftResetKeepsRamAndRestoresThePalette) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    console.setVector(0xFFFC, 0xC000);
    console.cpu->write8(0x0300, 0x5A);
    console.cpu->pc = 0xD123;
    console.cpu->sp = 0x80;
    console.cpu->frameCycles = 1234;
    console.ppu->write8(0x3F01, 0x21);
    console.ppu->write8(0x2345, 0x67);
    console.ppu->ctrl = 0x90;
    console.ppu->oam[3] = 9;
    nes->setButtons(2, 0x40);
    nes->softReset();
    EXPECT_EQ(console.cpu->pc, 0xC000u);
    EXPECT_EQ(console.cpu->read8(0x0300), 0x5Au);
    EXPECT_EQ(console.cpu->sp, 0x80u);
    EXPECT_EQ(console.cpu->frameCycles, 1234);
    for (unsigned int a = 0x3F00; a < 0x3F20; a++) EXPECT_EQ(console.ppu->read8(a), 0x0Fu);
    EXPECT_EQ(console.ppu->read8(0x2345), 0x67u);
    EXPECT_EQ(console.ppu->ctrl, 0x90);
    EXPECT_EQ(console.ppu->oam[3], 9);
    EXPECT_EQ(nes->getButtons(2), 0x40);
}

TEST(ConsoleLifecycle, HardResetClearsWorkRamOnly) {
    TestConsole console;
    vek::nes::Nes* nes = console.nes;
    console.setVector(0xFFFC, 0xC000);
    for (int i = 0; i < 2048; i++) console.cpu->ram[i] = 0xAA;
    console.cpu->prgRom[0x100] = 0x11;
    console.ppu->ctrl = 0x80;
    console.ppu->write8(0x3F00, 0x22);
    nes->hardReset();
    for (int i = 0; i < 2048; i++) ASSERT_EQ(console.cpu->ram[i], 0) << i;
    EXPECT_EQ(console.cpu->prgRom[0x100], 0x11);
    EXPECT_EQ(console.ppu->ctrl, 0x80);  // no register write reached the bus
    EXPECT_EQ(console.cpu->cyclesLeft, 0);
    EXPECT_EQ(console.ppu->read8(0x3F00), 0x0Fu);
    EXPECT_EQ(console.cpu->pc, 0xC000u);
}

TEST(ConsoleFrame, UpdateStopsAtTheMarker) {
    TestConsole console;
    // reset: INX / marker / JMP $C000
    console.poke(0xC000, {0xE8, 0x04, 0x00, 0x4C, 0x00, 0xC0});
    console.setVector(0xFFFC, 0xC000);
    console.cpu->reset();
    console.nes->update();
    EXPECT_TRUE(console.cpu->renderDone);
    EXPECT_EQ(console.cpu->cyclesLeft, 59562 - 2);
    EXPECT_EQ(console.cpu->x, 1u);
    console.nes->update();  // JMP, INX, marker
    EXPECT_EQ(console.cpu->x, 2u);
    EXPECT_EQ(console.cpu->cyclesLeft, 59562 - 5);
}

TEST(ConsoleFrame, UpdateWithoutMarkerSpendsTheBudgetOfTwoFrames) {
    TestConsole console;
    console.poke(0xC000, {0x4C, 0x00, 0xC0});  // JMP $C000, 3 cycles
    console.setVector(0xFFFC, 0xC000);
    console.cpu->reset();
    console.nes->update();
    EXPECT_FALSE(console.cpu->renderDone);
    // 19,854 jumps make 59,562 cycles exactly
    EXPECT_EQ(console.cpu->cyclesLeft, 0);
    // the budget is two whole frames of 29,781 cycles (a multiple of 3): both ended
    EXPECT_EQ(console.cpu->frameCycles, 0);
    EXPECT_EQ(console.cpu->inVblank, 0);
    EXPECT_EQ(console.ppu->status, 0);
}
