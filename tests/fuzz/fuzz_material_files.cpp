// Feeds arbitrary bytes to the two binary description readers: the material file (a raw
// material record) and the render-state file (counted blocks of state pairs). Neither
// may crash, read out of bounds or mark a state as sent that was not sent before.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/materials/Material.h"
#include "engine/materials/RenderStateSet.h"

namespace {

// In a folder of its own: paths are resolved without regard to letter case, which
// means listing the folder, and a crowded temporary folder would slow every run.
const std::string& ScratchPath() {
  static const std::string path = [] {
    char pattern[] = "/tmp/yule_fuzz_material_XXXXXX";
    const char* dir = mkdtemp(pattern);
    return std::string(dir ? dir : "/tmp") + "/input.bin";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
  if (!f) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);

  Material material;
  if (!material.Load(ScratchPath())) std::abort();  // the file exists: it must open
  Material fromMemory;
  fromMemory.LoadFromMemory(data, size);

  static const RenderStateSet fresh;
  RenderStateSet set;
  set.Load(ScratchPath());
  for (int i = 0; i < RenderStateSet::kEntryCount; ++i) {
    if (set[i].specified != fresh[i].specified) std::abort();
    if (!set[i].known && set[i].value != 0) std::abort();
  }
  return 0;
}
