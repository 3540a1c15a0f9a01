// What every fuzz target shares: invariant checks that stop the run with a readable reason,
// and a scratch file for readers that only take a path.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace fuzz {

// libFuzzer keeps the input of any abort; the reason goes to stderr beside it.
inline void Require(bool holds, const char* what) {
    if (holds)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

template <size_t N> bool Terminated(const char (&field)[N]) {
    return std::memchr(field, 0, N) != nullptr;
}

// A file of this process, removed at exit: in $QUELMA_FUZZ_SCRATCH (run-fuzzer's folder, which
// it removes even after a crash), else in memory-backed /dev/shm when there is one.
class ScratchFile {
  public:
    explicit ScratchFile(const char* tag) {
        const char* dir = std::getenv("QUELMA_FUZZ_SCRATCH");
        if (!dir || !*dir)
            dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path_ = std::string(dir) + "/quelma-fuzz-" + std::to_string(getpid()) + "-" + tag;
    }
    ~ScratchFile() {
        std::remove(path_.c_str());
        std::remove((path_ + ".new").c_str()); // left by an interrupted replacement
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const char* Path() const { return path_.c_str(); }

    void Write(const uint8_t* data, size_t size) const {
        FILE* f = std::fopen(path_.c_str(), "wb");
        Require(f != nullptr, "scratch file cannot be created");
        Require(size == 0 || std::fwrite(data, 1, size, f) == size, "scratch file write");
        Require(std::fclose(f) == 0, "scratch file close");
    }

  private:
    std::string path_;
};

} // namespace fuzz
