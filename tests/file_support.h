#pragma once
// Shared by the tests that write files: whole files read and written as bytes, and a
// folder of the test's own that is the working directory while it lives.

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

namespace filetest {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

// An empty folder under /tmp, entered on construction; on destruction the old working
// directory comes back and the folder goes with everything in it.
class ScopedTempDir {
public:
    std::string path;

    ScopedTempDir() {
        char tmpl[] = "/tmp/vek_test_XXXXXX";
        if (!getcwd(oldCwd, sizeof(oldCwd)) || !mkdtemp(tmpl) || chdir(tmpl) != 0) {
            ADD_FAILURE() << "cannot enter a temporary folder";
            return;
        }
        path = tmpl;
    }
    ~ScopedTempDir() {
        if (path.empty()) return;
        EXPECT_EQ(chdir(oldCwd), 0);
        EXPECT_EQ(system(("chmod -R u+rwx '" + path + "'; rm -rf '" + path + "'").c_str()), 0);
    }
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

private:
    char oldCwd[4096] = {};
};

}  // namespace filetest
