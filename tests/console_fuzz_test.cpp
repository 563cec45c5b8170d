// Random cartridge images: whatever the bytes, the console runs frame after frame without
// a fault, inside its budget, with every register in range.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "console_support.h"
#include "diag/trace_logger.h"

using vektest::TestConsole;

TEST(ConsoleFuzz, RandomImagesRunWithoutAFault) {
    const int IMAGES = 16;
    const int FRAMES = 200;
    // the longest instruction is 7 cycles; a sprite DMA adds 514 inside one instruction
    const int OVERSHOOT = 7 + 514;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int markers = 0;
    for (int seed = 1; seed <= IMAGES; seed++) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        std::vector<unsigned char> image(40960);
        for (unsigned char& b : image) b = (unsigned char)random();
        TestConsole console;
        vek::nes::Nes* nes = console.nes;
        vek::nes::Cpu* cpu = console.cpu;
        nes->loadInternalRom(image.data());
        // half of them with the vertical-blank interrupt on from the start
        if (seed % 2) nes->ppu->ctrl = 0x80;
        for (int frame = 0; frame < FRAMES; frame++) {
            nes->setButtons(frame % 4, (int)(random() & 0xFF));
            nes->update();
            ASSERT_LE(cpu->a, 0xFFu);
            ASSERT_LE(cpu->x, 0xFFu);
            ASSERT_LE(cpu->y, 0xFFu);
            ASSERT_LE(cpu->sp, 0xFFu);
            ASSERT_LE(cpu->p, 0xFFu);
            ASSERT_GE(cpu->frameCycles, 0);
            ASSERT_LE(cpu->frameCycles, vek::nes::Cpu::FRAME_END + OVERSHOOT);
            ASSERT_LE(cpu->cyclesLeft, vek::nes::Nes::FRAME_BUDGET);
            if (cpu->renderDone) {
                markers++;
            } else {
                ASSERT_LE(cpu->cyclesLeft, 0);
                ASSERT_GT(cpu->cyclesLeft, -OVERSHOOT);
            }
            ASSERT_EQ(cpu->traceLogger->bufferPos, 0);
            if (frame == FRAMES / 2) nes->softReset();
            if (frame == FRAMES / 2 + 50) nes->hardReset();
        }
    }
    testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    // $04 is one opcode in 256: random programs run into it
    EXPECT_GT(markers, 0);
}
