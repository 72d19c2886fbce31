// datagen OUTDIR: writes every asset of the game into OUTDIR (created if missing).
// The output is deterministic: the same bytes on every run.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "Families.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: datagen OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "datagen: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
    return 1;
  }
  struct Family {
    const char* name;
    bool (*write)(const std::string&);
  };
  const Family families[] = {
      {"interface art", WriteInterfaceArt}, {"sound effects", WriteSoundEffects},
      {"music", WriteMusic},                {"static models", WriteStaticModels},
      {"animated models", WriteAnimatedModels}, {"outline", WriteOutline},
      {"icon", WriteIcon},
  };
  bool ok = true;
  for (const Family& f : families) {
    if (!f.write(dir)) {
      std::fprintf(stderr, "datagen: %s failed\n", f.name);
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
