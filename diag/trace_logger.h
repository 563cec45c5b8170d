#pragma once

#include <string>

namespace vek {

// Writes one text line per executed CPU instruction into a trace file. Inactive until
// activate() is called; nothing in the program calls it.
class TraceLogger {
public:
    static constexpr int BUFFER_SIZE = 65536;
    static constexpr int FLUSH_RESERVE = 1024;

    std::string fileName;
    char* buffer;
    int bufferPos;
    void* cpu;  // the nes::Cpu being traced; null means inactive
    int callStackCapacity;
    int callStack[128];
    int callStackDepth;

    TraceLogger();
    ~TraceLogger();

    void activate(void* cpu, const char* fileName);
    void deactivate();
    void flush();
    int writef(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void log();
    static const char* getProcessorFlagsString(unsigned int p);
};

}  // namespace vek
