#pragma once

#include <cstdint>

struct ALLEGRO_BITMAP;

namespace vek {

extern char g_errorLogFileName[64];
extern char g_movieFileName[64];
extern uint32_t g_romChecksum;

// Logging, file names, the image checksum and the zero-terminated string helpers
// that the configuration parser and the input mapping rely on.
class Util {
public:
    // log channels: information to standard output, failures to "error.log" and standard error
    static void logF(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
    static void logErrorF(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
    static void resetErrorLog();
    static void resetTime();
    static void logTimeF(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

    // output file names
    static void generateFileNames(const char* romVersion);
    static const char* getErrorLogFileName();
    static const char* getMovieFileName();

    // cartridge image checksum
    static void generateRomChecksum(const unsigned char* data, int size);
    static uint32_t getRomChecksum();

    // embedded images (the font)
    static ALLEGRO_BITMAP* loadStaticBitmap(const unsigned char* data);

    // strings
    static void trim(char* s);
    static bool startsWith(const char* s, const char* prefix);
    static bool stringEquals(const char* a, const char* b, unsigned n);
    static void strncpy0(char* dst, const char* src, unsigned n);
};

}  // namespace vek
