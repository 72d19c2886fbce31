// Feeds arbitrary bytes to the two binary description readers: the material file (a raw
// material record) and the render-state file (counted blocks of state pairs). Neither
// may crash, read out of bounds or mark a state as sent that was not sent before.
#include <cstdint>
#include <cstdlib>

#include "FuzzScratch.h"
#include "engine/materials/Material.h"
#include "engine/materials/RenderStateSet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const FuzzScratchFile scratch("material.bin", data, size);
  if (!scratch.ok()) return 0;
  const std::string& path = scratch.path();

  Material material;
  if (!material.Load(path)) std::abort();  // the file exists: it must open
  Material fromMemory;
  fromMemory.LoadFromMemory(data, size);

  // Copied rather than built: building the defaults costs more than reading the file.
  static const RenderStateSet fresh;
  RenderStateSet set = fresh;
  set.Load(path);
  for (int i = 0; i < RenderStateSet::kEntryCount; ++i) {
    if (set[i].specified != fresh[i].specified) std::abort();
    if (!set[i].known && set[i].value != 0) std::abort();
  }
  return 0;
}
