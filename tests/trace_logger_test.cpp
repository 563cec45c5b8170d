// The CPU instruction trace (line format, call depth, buffering, the file) and the CPU
// memory dump.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "console_support.h"
#include "diag/trace_logger.h"
#include "file_support.h"

using vek::TraceLogger;
using vektest::TestConsole;

namespace {

std::string tempPath(const char* name) { return std::string(VEK_BINARY_DIR) + "/" + name; }

// A console tracing into a file, with a way to take the line of the next instruction.
class TracedConsole : public TestConsole {
public:
    explicit TracedConsole(const char* name) : path(tempPath(name)) {
        remove(path.c_str());
        cpu->traceLogger->activate(cpu, path.c_str());
    }
    ~TracedConsole() {
        cpu->traceLogger->deactivate();
        remove(path.c_str());
    }

    // the trace line of the instruction at pc, executing it or not
    std::string line(bool execute = false, int* cycles = nullptr) {
        TraceLogger* t = cpu->traceLogger;
        t->bufferPos = 0;
        t->buffer[0] = 0;
        if (execute) {
            int n = step();
            if (cycles) *cycles = n;
        } else {
            t->log();
        }
        std::string text(t->buffer, t->bufferPos);
        t->bufferPos = 0;
        t->buffer[0] = 0;
        return text;
    }
    std::string stepLine(int* cycles = nullptr) { return line(true, cycles); }

    std::string path;
};

}  // namespace

// registers, flags as letters (capital when set), indentation by the bytes on the stack,
// address, bytes and the instruction
TEST(TraceFormat, WholeLines) {
    const struct {
        std::vector<int> code;
        int a, x, y, sp, p;
        std::string line;
    } cases[] = {
        {{0x4C, 0x00, 0xC0}, 0, 0, 0, 0xFD, 0x24, "A:00 X:00 Y:00 S:FD P:nvUbdIzc   $C000:4C 00 C0  JMP $C000\n"},
        {{0xA5, 0x10}, 0x01, 0x02, 0xA3, 0xFF, 0xC3, "A:01 X:02 Y:A3 S:FF P:NVubdiZC $C000:A5 10     LDA $0010 = #$7F\n"},
        {{0xEA}, 0, 0, 0, 0xF0, 0xFF, "A:00 X:00 Y:00 S:F0 P:NVUBDIZC " + std::string(15, ' ') + "$C000:EA        NOP\n"},
        {{0xEA}, 0, 0, 0, 0x00, 0x5A, "A:00 X:00 Y:00 S:00 P:nVuBDiZc " + std::string(255, ' ') + "$C000:EA        NOP\n"},
        {{0xEA}, 0, 0, 0, 0xFF, 0x81, "A:00 X:00 Y:00 S:FF P:NvubdizC $C000:EA        NOP\n"},
    };
    for (const auto& c : cases) {
        TracedConsole console("trace_lines.txt");
        unsigned int at = 0xC000;
        for (int b : c.code) console.poke(at++, {b});
        console.cpu->pc = 0xC000;
        console.cpu->ram[0x10] = 0x7F;
        console.cpu->a = c.a;
        console.cpu->x = c.x;
        console.cpu->y = c.y;
        console.cpu->sp = c.sp;
        console.cpu->p = c.p;
        EXPECT_EQ(console.line(), c.line);
    }
    EXPECT_STREQ(TraceLogger::getProcessorFlagsString(0x00), "nvubdizc");
}

TEST(TraceFormat, OperandTextOfEachAddressingMode) {
    TracedConsole console("trace_modes.txt");
    vek::nes::Cpu* cpu = console.cpu;
    cpu->sp = 0xFF;
    cpu->p = 0x24;
    const std::string regs = "A:00 X:F0 Y:20 S:FF P:nvUbdIzc ";
    cpu->x = 0xF0;
    cpu->y = 0x20;
    cpu->ram[0x10] = 0x3C;
    cpu->ram[0x50] = 0x99;
    cpu->ram[0x40] = 0x00;  // pointer at $40: $0300
    cpu->ram[0x41] = 0x03;
    cpu->ram[0x320] = 0x44;
    cpu->ram[0x30] = 0x00;  // pointer at $30 (= $40 + X): $0200
    cpu->ram[0x31] = 0x02;
    cpu->ram[0x200] = 0x55;
    cpu->ram[0x310] = 0x66;  // $1310 mirrors $0310
    console.poke(0xD000, {0x34, 0x12});
    console.ppu->status = 0x80;

    struct Case {
        std::vector<int> code;
        const char* text;
    };
    const Case cases[] = {
        {{0xA9, 0x7F}, "$C000:A9 7F     LDA #$7F\n"},
        {{0xA1, 0x40}, "$C000:A1 40     LDA ($40,X) @ $0200 = #$55\n"},
        {{0xB1, 0x40}, "$C000:B1 40     LDA ($40),Y @ $0320 = #$44\n"},
        {{0xA5, 0x50}, "$C000:A5 50     LDA $0050 = #$99\n"},
        // zero page,X wraps inside page zero; absolute,X past $FFFF is not wrapped and reads as $FF
        {{0xB5, 0x20}, "$C000:B5 20     LDA $0020,X @ $0010 = #$3C\n"},
        {{0xB6, 0xF0}, "$C000:B6 F0     LDX $00F0,Y @ $0010 = #$3C\n"},
        {{0xAD, 0x50, 0x00}, "$C000:AD 50 00  LDA $0050 = #$99\n"},
        {{0xBD, 0xF0, 0xFF}, "$C000:BD F0 FF  LDA $FFF0,X @ $100E0 = #$FF\n"},
        {{0xB9, 0xF0, 0x12}, "$C000:B9 F0 12  LDA $12F0,Y @ $1310 = #$66\n"},
        {{0x6C, 0x00, 0xD0}, "$C000:6C 00 D0  JMP ($D000) = $1234\n"},
        {{0x20, 0x00, 0xD0}, "$C000:20 00 D0  JSR $D000\n"},
        {{0xD0, 0x10}, "$C000:D0 10     BNE $C012\n"},
        {{0xF0, 0xFE}, "$C000:F0 FE     BEQ $C000\n"},
        {{0x0A}, "$C000:0A        ASL\n"},
        {{0xAA}, "$C000:AA        TAX\n"},
        {{0x02, 0x11, 0x22}, "$C000:02        ???\n"},
        {{0x04, 0x00}, "$C000:04        ???\n"},
        // the register range is shown as $FF, and reading it for the trace clears nothing
        {{0xAD, 0x02, 0x20}, "$C000:AD 02 20  LDA $2002 = #$FF\n"},
        {{0x2C, 0x02, 0x20}, "$C000:2C 02 20  BIT $2002 = #$FF\n"},
    };
    for (const Case& c : cases) {
        unsigned int at = 0xC000;
        for (int b : c.code) console.poke(at++, {b});
        cpu->pc = 0xC000;
        cpu->traceLogger->callStackDepth = 0;
        EXPECT_EQ(console.line(), regs + c.text);
    }
    EXPECT_EQ(console.ppu->status, 0x80);
}

TEST(TraceCallStack, ReturnsNameTheSubroutineTheyLeave) {
    TracedConsole console("trace_calls.txt");
    vek::nes::Cpu* cpu = console.cpu;
    // $C000: JSR $D000 / NOP / RTS     $D000: JSR $E000 / RTS     $E000: RTS
    console.program(0xC000, {0x20, 0x00, 0xD0, 0xEA, 0x60});
    console.poke(0xD000, {0x20, 0x00, 0xE0, 0x60});
    console.poke(0xE000, {0x60});
    cpu->sp = 0xFF;
    std::vector<std::string> lines;
    for (int i = 0; i < 6; i++) lines.push_back(console.stepLine());
    EXPECT_NE(lines[0].find("JSR $D000\n"), std::string::npos);
    EXPECT_NE(lines[2].find("RTS (from $E000) ---------------------------\n"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("RTS (from $D000) ---------------------------\n"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find("NOP\n"), std::string::npos);
    // a return without a call
    EXPECT_NE(lines[5].find("RTS (from ?????" ") ---------------------------\n"), std::string::npos) << lines[5];
    EXPECT_EQ(cpu->traceLogger->callStackDepth, 0);
}

TEST(TraceCallStack, DeepNestingOverwritesTheTopEntry) {
    TracedConsole console("trace_deep.txt");
    vek::nes::Cpu* cpu = console.cpu;
    // 130 nested calls: JSR $8000 + 3k for k = 1..130
    for (int k = 0; k < 130; k++) {
        unsigned int next = 0x8000 + 3 * (k + 1);
        console.poke(0x8000 + 3 * k, {0x20, (int)(next & 0xFF), (int)(next >> 8)});
    }
    console.poke(0x8000 + 3 * 130, {0x60});
    cpu->pc = 0x8000;
    for (int k = 0; k < 130; k++) console.stepLine();
    EXPECT_EQ(cpu->traceLogger->callStackDepth, 127);
    // the 127th target is $8000 + 3 * 127
    std::string line = console.stepLine();
    EXPECT_NE(line.find("RTS (from $817D) ---------------------------\n"), std::string::npos) << line;
    EXPECT_EQ(cpu->traceLogger->callStackDepth, 126);
}

// Each run appends its lines to the file; a file that cannot be opened sends them to
// standard output instead.
TEST(TraceFile, EachRunAppendsItsLines) {
    const std::string first = "A:00 X:00 Y:00 S:FF P:nvubdizc $C000:E8        INX\n"
                              "A:00 X:01 Y:00 S:FF P:nvubdizc $C001:04        ???\n";
    TracedConsole console("trace_frames.txt");
    // INX / marker / JMP $C000
    console.program(0xC000, {0xE8, 0x04, 0x00, 0x4C, 0x00, 0xC0});
    console.cpu->sp = 0xFF;
    EXPECT_EQ(filetest::readFile(console.path), "");  // created empty by activate
    console.cpu->runUntilRenderDone(59562);
    EXPECT_EQ(filetest::readFile(console.path), first);
    console.cpu->runUntilRenderDone(59562);
    EXPECT_EQ(filetest::readFile(console.path), first +
                                                    "A:00 X:01 Y:00 S:FF P:nvubdizc $C003:4C 00 C0  JMP $C000\n"
                                                    "A:00 X:01 Y:00 S:FF P:nvubdizc $C000:E8        INX\n"
                                                    "A:00 X:02 Y:00 S:FF P:nvubdizc $C001:04        ???\n");

    TestConsole unopenable;
    unopenable.program(0xC000, {0xE8, 0x04, 0x00});
    unopenable.cpu->sp = 0xFF;
    unopenable.cpu->traceLogger->activate(unopenable.cpu, "/nonexistent-directory/trace.txt");
    testing::internal::CaptureStdout();
    unopenable.cpu->runUntilRenderDone(100);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), first);
    unopenable.cpu->traceLogger->deactivate();
}

TEST(TraceFile, OnlyAnActiveTraceWritesAndActivateTruncates) {
    std::string path = tempPath("trace_truncate.txt");
    remove(path.c_str());
    TestConsole console;
    // never activated: nothing buffered, shown or written
    console.program(0xC000, {0xE8, 0x4C, 0x00, 0xC0});
    testing::internal::CaptureStdout();
    console.cpu->runUntilRenderDone(1000);
    console.cpu->traceLogger->flush();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(console.cpu->traceLogger->bufferPos, 0);
    EXPECT_FALSE(filetest::exists(path));

    filetest::writeFile(path, "old text\n");
    console.program(0xC000, {0xEA});
    console.cpu->x = 0;
    console.cpu->sp = 0;
    console.cpu->p = 0;
    console.cpu->traceLogger->activate(console.cpu, path.c_str());
    EXPECT_EQ(filetest::readFile(path), "");
    console.step();
    EXPECT_EQ(filetest::readFile(path), "");  // still in the buffer
    console.cpu->traceLogger->deactivate();
    const std::string line = "A:00 X:00 Y:00 S:00 P:nvubdizc " + std::string(255, ' ') + "$C000:EA        NOP\n";
    EXPECT_EQ(filetest::readFile(path), line);
    EXPECT_EQ(console.cpu->traceLogger->cpu, nullptr);
    // inactive again: further instructions are not traced
    console.program(0xC000, {0xEA});
    console.step();
    console.cpu->traceLogger->flush();
    EXPECT_EQ(filetest::readFile(path), line);
    remove(path.c_str());
}

TEST(TraceBuffer, WritefNeverPassesTheEndOfTheBuffer) {
    // inactive, so flush() cannot empty the buffer: every piece lands against the end
    TraceLogger logger;
    std::string piece(2000, 'x');
    for (int i = 0; i < 40; i++) {
        int n = logger.writef("%s", piece.c_str());
        EXPECT_EQ(n, 2000);  // what the formatter reports
        ASSERT_GE(logger.bufferPos, 0);
        ASSERT_LT(logger.bufferPos, TraceLogger::BUFFER_SIZE);
        ASSERT_EQ(logger.buffer[logger.bufferPos], 0);
    }
    EXPECT_EQ(logger.bufferPos, TraceLogger::BUFFER_SIZE - 1);
    // one piece bigger than the whole buffer
    TraceLogger big;
    std::string huge(100000, 'y');
    EXPECT_EQ(big.writef("%s", huge.c_str()), 100000);
    EXPECT_EQ(big.bufferPos, TraceLogger::BUFFER_SIZE - 1);
    EXPECT_EQ(big.buffer[TraceLogger::BUFFER_SIZE - 1], 0);
    EXPECT_EQ(big.writef("%s", "z"), 1);
    EXPECT_EQ(big.bufferPos, TraceLogger::BUFFER_SIZE - 1);
}

TEST(TraceBuffer, CutPieceIsFlushedAndTracingGoesOn) {
    std::string path = tempPath("trace_cut.txt");
    TestConsole console;
    TraceLogger* logger = console.cpu->traceLogger;
    logger->activate(console.cpu, path.c_str());
    std::string huge(70000, 'q');
    logger->writef("%s", huge.c_str());
    EXPECT_LT(logger->bufferPos, TraceLogger::BUFFER_SIZE);
    logger->writef("after\n");  // less than 1 KiB free: the cut piece goes to the file first
    EXPECT_EQ(std::string(logger->buffer, logger->bufferPos), "after\n");
    logger->deactivate();
    std::string text = filetest::readFile(path);
    EXPECT_EQ(text, std::string(TraceLogger::BUFFER_SIZE - 1, 'q') + "after\n");
    remove(path.c_str());
}

TEST(TraceBuffer, LongTraceIsFlushedInBlocks) {
    TracedConsole console("trace_long.txt");
    // JMP $C000 forever: each line is 56 characters with S = $FF
    console.program(0xC000, {0x4C, 0x00, 0xC0});
    console.cpu->sp = 0xFF;
    console.cpu->run(3 * 5000);
    std::string text = filetest::readFile(console.path);
    const std::string line = "A:00 X:00 Y:00 S:FF P:nvubdizc $C000:4C 00 C0  JMP $C000\n";
    ASSERT_EQ(text.size(), 5000 * line.size());
    for (size_t i = 0; i < text.size(); i += line.size()) ASSERT_EQ(text.compare(i, line.size(), line), 0) << i;
}

// The trace tables against the CPU: every opcode the trace names executes with the length
// the trace shows, and every "???" is one of the console's no-operation opcodes.
TEST(TraceTables, AgreeWithTheInstructionSet) {
    int documented = 0;
    for (int opcode = 0; opcode < 256; opcode++) {
        SCOPED_TRACE(opcode);
        TracedConsole console("trace_tables.txt");
        console.program(0xC000, {opcode, 0x00, 0x02});
        console.cpu->sp = 0xFD;
        int cycles = 0;
        std::string line = console.stepLine(&cycles);
        // "...$C000:" + opcode "XX " + 7-character operand column + mnemonic
        size_t at = line.find("$C000:");
        ASSERT_NE(at, std::string::npos);
        std::string column = line.substr(at + 9, 7);
        std::string name = line.substr(at + 16, 3);
        int operands = column == "       " ? 0 : column == "00     " ? 1 : column == "00 02  " ? 2 : -1;
        ASSERT_GE(operands, 0) << line;

        if (name == "???") {
            EXPECT_EQ(operands, 0);
            if (opcode == 0x04) continue;
            EXPECT_EQ(cycles, 2);
            EXPECT_EQ(console.cpu->pc, 0xC001u);
            continue;
        }
        documented++;
        static const std::set<std::string> TRANSFERS = {"JMP", "JSR", "RTS", "RTI", "BRK"};
        if (TRANSFERS.count(name)) continue;
        // a branch with offset 0 lands after itself whether taken or not
        EXPECT_EQ(console.cpu->pc, 0xC001u + operands) << line;
    }
    EXPECT_EQ(documented, 151);
}

TEST(CpuDump, WritesTheWholeAddressSpaceOrNothing) {
    TestConsole console;
    vek::nes::Cpu* cpu = console.cpu;
    for (int i = 0; i < 2048; i++) cpu->ram[i] = (unsigned char)(i * 3 + 1);
    for (int i = 0; i < 32768; i++) cpu->prgRom[i] = (unsigned char)(i ^ (i >> 8));
    console.ppu->status = 0x80;
    std::string path = tempPath("cpu_dump_test.bin");
    testing::internal::CaptureStdout();
    cpu->dumpMemory(path.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "dumped 0000-FFFF to " + path + "\n");
    std::string bytes = filetest::readFile(path);
    ASSERT_EQ(bytes.size(), 65536u);
    for (int a = 0; a < 0x2000; a++) ASSERT_EQ((unsigned char)bytes[a], cpu->ram[a & 0x7FF]) << a;
    for (int a = 0x2000; a < 0x8000; a++) ASSERT_EQ((unsigned char)bytes[a], 0xFF) << a;
    for (int a = 0x8000; a < 0x10000; a++) ASSERT_EQ((unsigned char)bytes[a], cpu->prgRom[a - 0x8000]) << a;
    EXPECT_EQ(console.ppu->status, 0x80);  // no register was read
    remove(path.c_str());

    // a file that cannot be written is skipped silently
    testing::internal::CaptureStdout();
    cpu->dumpMemory("/nonexistent-directory/cpu.bin");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
