// libFuzzer entry of one target, named at build time by VEK_FUZZ_TARGET.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_targets.h"

namespace {

vekfuzz::TargetFunction g_run = nullptr;
// the program's own logs are silenced by the runner (-close_fd_mask); findings are written
// to a copy of standard error taken before that
FILE* g_report = stderr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (int i = 0; i < vekfuzz::NUM_TARGETS; i++) {
        if (strcmp(vekfuzz::TARGETS[i].name, VEK_FUZZ_TARGET) == 0) g_run = vekfuzz::TARGETS[i].run;
    }
    if (!g_run) {
        fprintf(stderr, "no fuzz target named %s\n", VEK_FUZZ_TARGET);
        exit(2);
    }
    int fd = dup(2);
    if (fd >= 0) g_report = fdopen(fd, "w");
    if (!g_report) g_report = stderr;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string failure = g_run(data, size);
    if (!failure.empty()) {
        fprintf(g_report, "\n==== finding in %s: %s\n", VEK_FUZZ_TARGET, failure.c_str());
        fflush(g_report);
        abort();
    }
    return 0;
}
