#include "app/util.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace vek {

char g_errorLogFileName[64] = "";
char g_movieFileName[64] = "";
uint32_t g_romChecksum = 0;

void Util::logF(const char* fmt, ...) {
    static char buf[1024];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buf, sizeof(buf), fmt, args);
    va_end(args);
    buf[sizeof(buf) - 1] = 0;
    fprintf(stdout, "%s", buf);
    fflush(stdout);
}

void Util::logErrorF(const char* fmt, ...) {
    static char buf[1024];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buf, sizeof(buf), fmt, args);
    va_end(args);
    buf[sizeof(buf) - 1] = 0;
    // a log file that cannot be opened (read-only directory) must not swallow the message:
    // standard error still gets it
    FILE* f = fopen(g_errorLogFileName, "a");
    if (f) {
        fwrite(buf, 1, strlen(buf), f);
        fclose(f);
    }
    fprintf(stderr, "%s", buf);
    fflush(stderr);
}

void Util::resetErrorLog() {
    // the error log accumulates across runs: nothing is truncated here
}

void Util::resetTime() {}

void Util::logTimeF(const char*, ...) {}

void Util::generateFileNames(const char*) {
    strncpy0(g_errorLogFileName, "error.log", sizeof(g_errorLogFileName));
    strncpy0(g_movieFileName, "recording.vekmov", sizeof(g_movieFileName));
}

const char* Util::getErrorLogFileName() { return g_errorLogFileName; }
const char* Util::getMovieFileName() { return g_movieFileName; }

void Util::generateRomChecksum(const unsigned char* data, int size) {
    uint32_t sum = 0;
    for (int i = 0; i < size; i++) sum += data[i];
    g_romChecksum = sum;
}

uint32_t Util::getRomChecksum() { return g_romChecksum; }

static bool isTrimSpace(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

void Util::trim(char* s) {
    size_t len = strlen(s);
    while (len > 0 && isTrimSpace(s[len - 1])) s[--len] = 0;
    size_t k = 0;
    while (k < len && isTrimSpace(s[k])) k++;
    if (k > 0) memmove(s, s + k, len - k + 1);
}

bool Util::startsWith(const char* s, const char* prefix) {
    return strncmp(s, prefix, strlen(prefix)) == 0;
}

bool Util::stringEquals(const char* a, const char* b, unsigned n) {
    return strncmp(a, b, n) == 0;
}

void Util::strncpy0(char* dst, const char* src, unsigned n) {
    strncpy(dst, src, n);
    dst[n - 1] = 0;
}

}  // namespace vek
