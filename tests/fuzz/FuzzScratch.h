// The scratch file a path-taking fuzz target writes each input to: on a memory-backed
// file system when there is one (rewriting a disk file flushes it on every close) and
// removed again after each input, so nothing is left behind but a crash's own input.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class FuzzScratchFile {
 public:
  // Writes the input under a name unique to this process; ok() says whether it worked.
  FuzzScratchFile(const char* name, const std::uint8_t* data, std::size_t size) {
    static const std::string base =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/yule_fuzz_" +
        std::to_string(getpid()) + "_";
    path_ = base + name;
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) return;
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok_ = std::fclose(f) == 0 && written;
  }
  ~FuzzScratchFile() { std::remove(path_.c_str()); }
  FuzzScratchFile(const FuzzScratchFile&) = delete;
  FuzzScratchFile& operator=(const FuzzScratchFile&) = delete;

  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool ok_ = false;
};
