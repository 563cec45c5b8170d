// Picture-processor registers, its memory with nametable mirroring, sprite DMA and the
// memory dump, driven through the CPU's bus the way the game drives them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "console_support.h"

using vektest::TestConsole;

namespace {

void setAddress(vek::nes::Cpu* cpu, unsigned int address) {
    cpu->write8(0x2006, address >> 8);
    cpu->write8(0x2006, address & 0xFF);
}

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(PpuState, ConstructionAndResetFillThePaletteWith0F) {
    TestConsole console;
    vek::nes::Ppu* ppu = console.ppu;
    for (unsigned int a = 0x3F00; a < 0x3F20; a++) EXPECT_EQ(ppu->read8(a), 0x0Fu);
    EXPECT_EQ(ppu->read8(0x3F20), 0u);
    EXPECT_EQ(ppu->read8(0x3EFF), 0u);
    EXPECT_EQ(ppu->mirrorMask, 0x400);

    ppu->write8(0x3F00, 0x21);
    ppu->write8(0x3F1F, 0x30);
    ppu->write8(0x2000, 0x45);
    ppu->ctrl = 0x90;
    ppu->reset();
    for (unsigned int a = 0x3F00; a < 0x3F20; a++) EXPECT_EQ(ppu->read8(a), 0x0Fu);
    EXPECT_EQ(ppu->read8(0x2000), 0x45u);
    EXPECT_EQ(ppu->ctrl, 0x90);
}

TEST(PpuRegisters, ControlMaskAndOamAddressAreStored) {
    TestConsole console;
    console.cpu->write8(0x2000, 0x88);
    console.cpu->write8(0x2001, 0x1E);
    console.cpu->write8(0x2003, 0x40);
    EXPECT_EQ(console.ppu->ctrl, 0x88);
    EXPECT_EQ(console.ppu->mask, 0x1E);
    EXPECT_EQ(console.ppu->oamAddr, 0x40);
    // $2004 does not write sprite memory, $2002 takes no writes
    console.cpu->write8(0x2004, 0x77);
    console.cpu->write8(0x2002, 0xFF);
    EXPECT_EQ(console.ppu->oam[0x40], 0);
    EXPECT_EQ(console.ppu->status, 0);
    // only the eight exact addresses: $2008 is not a mirror of $2000
    console.cpu->write8(0x2008, 0x01);
    EXPECT_EQ(console.ppu->ctrl, 0x88);
}

TEST(PpuRegisters, StatusReadReturnsVblankOnceAndResetsTheToggle) {
    TestConsole console;
    vek::nes::Ppu* ppu = console.ppu;
    ppu->status = 0x80;
    console.cpu->write8(0x2005, 0x11);  // first write: toggle now 1
    EXPECT_EQ(console.cpu->read8(0x2002), 0x80u);
    EXPECT_EQ(console.cpu->read8(0x2002), 0x00u);
    console.cpu->write8(0x2005, 0x22);  // a first write again
    EXPECT_EQ(ppu->scrollX, 0x22);
    console.cpu->write8(0x2005, 0x33);
    EXPECT_EQ(ppu->scrollY, 0x33);
}

TEST(PpuRegisters, WriteOnlyRegistersReadAsFF) {
    TestConsole console;
    vek::nes::Ppu* ppu = console.ppu;
    ppu->status = 0x80;
    setAddress(console.cpu, 0x2000);
    unsigned int before = ppu->vramAddr;
    for (unsigned int r : {0x2000u, 0x2001u, 0x2003u, 0x2004u, 0x2005u, 0x2006u, 0x2007u, 0x4014u}) {
        EXPECT_EQ(console.cpu->read8(r), 0xFFu) << std::hex << r;
    }
    EXPECT_EQ(ppu->vramAddr, before);
    EXPECT_EQ(ppu->status, 0x80);
}

TEST(PpuRegisters, ScrollAndAddressShareOneToggle) {
    TestConsole console;
    vek::nes::Ppu* ppu = console.ppu;
    console.cpu->write8(0x2005, 0x10);  // scrollX
    console.cpu->write8(0x2006, 0x34);  // second write of the pair: low byte
    EXPECT_EQ(ppu->scrollX, 0x10);
    EXPECT_EQ(ppu->vramAddr, 0x34u);
    EXPECT_EQ(ppu->writeToggle, 0);
    // the high byte is taken whole; the mapping cuts it to 14 bits when used
    console.cpu->write8(0x2006, 0xFF);
    console.cpu->write8(0x2006, 0x00);
    EXPECT_EQ(ppu->vramAddr, 0xFF00u);
    console.cpu->write8(0x2007, 0x5A);
    EXPECT_EQ(ppu->vram[0x3F00], 0x5A);
}

TEST(PpuMemory, PaletteFillThroughData) {
    TestConsole console;
    setAddress(console.cpu, 0x3F00);
    for (int i = 0; i < 32; i++) console.cpu->write8(0x2007, 0x20 + i);
    for (int i = 0; i < 32; i++) EXPECT_EQ(console.ppu->read8(0x3F00 + i), (unsigned)(0x20 + i));
    EXPECT_EQ(console.ppu->vramAddr, 0x3F20u);
}

TEST(PpuMemory, DataStepIsAlwaysOne) {
    TestConsole console;
    console.cpu->write8(0x2000, 0x04);
    setAddress(console.cpu, 0x2100);
    console.cpu->write8(0x2007, 0xA1);
    console.cpu->write8(0x2007, 0xA2);
    EXPECT_EQ(console.ppu->read8(0x2100), 0xA1u);
    EXPECT_EQ(console.ppu->read8(0x2101), 0xA2u);
    EXPECT_EQ(console.ppu->read8(0x2120), 0u);
}

TEST(PpuMemory, HorizontalMirroring) {
    TestConsole console;
    vek::nes::Ppu* ppu = console.ppu;
    ppu->setNametableMirroring(0);
    setAddress(console.cpu, 0x2400);
    console.cpu->write8(0x2007, 0x66);
    EXPECT_EQ(ppu->read8(0x2000), 0x66u);
    EXPECT_EQ(ppu->vram[0x2000], 0x66);
    ppu->write8(0x2C05, 0x77);
    EXPECT_EQ(ppu->read8(0x2805), 0x77u);
    EXPECT_EQ(ppu->read8(0x2005), 0u);
}

TEST(PpuMemory, VerticalMirroring) {
    TestConsole console;
    vek::nes::Ppu* ppu = console.ppu;
    ppu->setNametableMirroring(1);
    EXPECT_EQ(ppu->mirrorMask, 0x800);
    setAddress(console.cpu, 0x2800);
    console.cpu->write8(0x2007, 0x55);
    EXPECT_EQ(ppu->read8(0x2000), 0x55u);
    ppu->write8(0x2C10, 0x44);
    EXPECT_EQ(ppu->read8(0x2410), 0x44u);
    EXPECT_EQ(ppu->read8(0x2010), 0u);
}

TEST(PpuMemory, NoOtherMirrors) {
    TestConsole console;
    vek::nes::Ppu* ppu = console.ppu;
    // $3000-$3EFF are bytes of their own
    ppu->write8(0x3000, 0x12);
    EXPECT_EQ(ppu->read8(0x2000), 0u);
    EXPECT_EQ(ppu->read8(0x3000), 0x12u);
    // the sprite backdrop entries are separate from the background ones
    ppu->write8(0x3F10, 0x30);
    EXPECT_EQ(ppu->read8(0x3F00), 0x0Fu);
    EXPECT_EQ(ppu->read8(0x3F10), 0x30u);
    // addresses are cut to 14 bits
    ppu->write8(0x4005, 0x99);
    EXPECT_EQ(ppu->read8(0x0005), 0x99u);
    EXPECT_EQ(ppu->read8(0xC005), 0x99u);
}

TEST(PpuMemory, PatternTablesAreWritable) {
    TestConsole console;
    setAddress(console.cpu, 0x0010);
    console.cpu->write8(0x2007, 0xF0);
    EXPECT_EQ(console.ppu->read8(0x0010), 0xF0u);
}

TEST(PpuMemory, CopyChrRomStopsAtTheNametables) {
    TestConsole console;
    vek::nes::Ppu* ppu = console.ppu;
    unsigned char data[32];
    for (int i = 0; i < 32; i++) data[i] = (unsigned char)(i + 1);
    ppu->copyChrRom(0x1FF0, data, 32);
    EXPECT_EQ(ppu->read8(0x1FF0), 1u);
    EXPECT_EQ(ppu->read8(0x1FFF), 16u);
    EXPECT_EQ(ppu->vram[0x2000], 0);
    ppu->copyChrRom(0x2000, data, 32);
    ppu->copyChrRom(0, data, 0);
    EXPECT_EQ(ppu->vram[0x2000], 0);
    EXPECT_EQ(ppu->vram[0], 0);
}

TEST(PpuSpriteDma, CopiesAPageStartingAtOamAddrAndWrapsAround) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    for (int i = 0; i < 256; i++) cpu->ram[0x200 + i] = (unsigned char)(i ^ 0x5A);
    cpu->write8(0x2003, 0x10);
    int left = cpu->cyclesLeft, frame = cpu->frameCycles;
    cpu->write8(0x4014, 0x02);
    for (int i = 0; i < 0xF0; i++) EXPECT_EQ(console.ppu->oam[0x10 + i], i ^ 0x5A) << i;
    for (int i = 0; i < 0x10; i++) EXPECT_EQ(console.ppu->oam[i], (0xF0 + i) ^ 0x5A) << i;
    EXPECT_EQ(cpu->cyclesLeft, left - 514);
    EXPECT_EQ(cpu->frameCycles, frame + 514);
}

TEST(PpuSpriteDma, FromProgramRomAndFromTheRegisterRange) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    for (int i = 0; i < 256; i++) console.poke(0xC000 + i, {255 - i});
    cpu->write8(0x4014, 0xC0);
    EXPECT_EQ(console.ppu->oam[0], 255);
    EXPECT_EQ(console.ppu->oam[255], 0);

    // a page of registers: ghost reads, all $FF, and the status bit survives
    console.ppu->status = 0x80;
    cpu->write8(0x4014, 0x20);
    for (int i = 0; i < 256; i++) EXPECT_EQ(console.ppu->oam[i], 0xFF);
    EXPECT_EQ(console.ppu->status, 0x80);
    cpu->write8(0x4014, 0x7F);
    EXPECT_EQ(console.ppu->oam[0], 0xFF);
}

TEST(PpuSpriteDma, MirroredRamPage) {
    TestConsole console;
    console.cpu->ram[0x300] = 0x42;
    console.cpu->write8(0x4014, 0x0B);  // $0B00 mirrors $0300
    EXPECT_EQ(console.ppu->oam[0], 0x42);
}

TEST(PpuDump, WritesSixteenKilobytesFoldedByTheMirroring) {
    TestConsole console;
    vek::nes::Ppu* ppu = console.ppu;
    ppu->setNametableMirroring(1);
    for (unsigned int a = 0; a < 0x4000; a++) ppu->vram[a] = (unsigned char)(a * 7 + (a >> 8));
    std::string path = std::string(VEK_BINARY_DIR) + "/ppu_dump_test.bin";
    testing::internal::CaptureStdout();
    ppu->dumpMemory(path.c_str());
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "dumped PPU memory 0000-3FFF to " + path + "\n");
    std::vector<unsigned char> bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 16384u);
    for (unsigned int a = 0; a < 0x2000; a++) ASSERT_EQ(bytes[a], ppu->vram[a]) << a;
    for (unsigned int a = 0x2000; a < 0x2800; a++) ASSERT_EQ(bytes[a + 0x800], bytes[a]) << a;
    for (unsigned int a = 0x2000; a < 0x2800; a++) ASSERT_EQ(bytes[a], ppu->vram[a]) << a;
    for (unsigned int a = 0x3000; a < 0x4000; a++) ASSERT_EQ(bytes[a], ppu->vram[a]) << a;
    remove(path.c_str());
}

TEST(PpuDump, UnwritableFileIsSkippedSilently) {
    TestConsole console;
    testing::internal::CaptureStdout();
    console.ppu->dumpMemory("/nonexistent-directory/ppu.bin");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
