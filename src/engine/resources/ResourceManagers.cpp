// The texture, render-state and font manager instances, the data-root and folder
// strings, and the global pointers of the managers.
#include "engine/resources/ResourceManagers.h"

#include "app/GraphicsDevice.h"
#include "platform/d3dx9/D3DX9Texture.h"

std::string dataRoot = ".\\Data\\";

std::string textureFolder = "Materials\\";
std::string materialFolder = "Materials\\";
std::string renderStateFolder = "Materials\\";
std::string modelFolder = "Meshes\\";
std::string meshFolder = "Meshes\\";
std::string waveSoundFolder = "Wave sounds\\";
std::string waveSound3DFolder = "3D wave sounds\\";
std::string musicFolder = "Wave sounds\\";

TextureManager* g_textureManager = nullptr;
RenderStateManager* g_renderStateManager = nullptr;
FontManager* g_fontManager = nullptr;

bool TextureManager::Load(const std::string& key) {
  return LoadFromFolder(key, [this](Texture& texture, const std::string& path) {
    // One file under two names (".\Data\GUI_00_ES.png" and "GUI_00_ES.PNG") is one
    // picture: the second entry shares the device texture of the first, which nothing
    // writes once it is loaded, instead of holding a second copy of it.
    const std::string file = MakeKey(path);
    for (auto& [name, other] : resources) {
      if (&other == &texture || !other.texture || other.file != file) continue;
      texture.texture = other.texture;
      texture.texture->AddRef();
      texture.description = other.description;
      texture.file = file;
      texture.shared = other.shared = true;
      return true;
    }
    if (!texture.LoadFromFile(path, D3DX_DEFAULT, 0, D3DX_DEFAULT, 0)) return false;
    texture.file = file;
    return true;
  });
}

namespace {

void SetLinearFiltering(RenderStateSet& set) {
  for (int sampler = 0; sampler < 2; ++sampler) {
    set.Set(RenderStateSet::SamplerIndex(sampler, D3DSAMP_MAGFILTER), D3DTEXF_LINEAR);
    set.Set(RenderStateSet::SamplerIndex(sampler, D3DSAMP_MINFILTER), D3DTEXF_LINEAR);
    set.Set(RenderStateSet::SamplerIndex(sampler, D3DSAMP_MIPFILTER), D3DTEXF_LINEAR);
  }
}

}  // namespace

RenderStateManager::RenderStateManager() {
  SetLinearFiltering(*defaultResource);
  transparentDefault = &InsertEmpty(kTransparentDefaultName);
  transparentDefault->name = kTransparentDefaultName;
  SetLinearFiltering(*transparentDefault);
  transparentDefault->Set(D3DRS_ALPHABLENDENABLE, 1);
  transparentDefault->Set(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  transparentDefault->Set(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

bool RenderStateManager::Load(const std::string& key) {
  if (IsAutoName(key)) {
    CreateEmptyEntry(key);
    return true;
  }
  return LoadFromFolder(
      key, [](RenderStateSet& set, const std::string& path) { return set.Load(path); });
}

FontManager::FontManager() {
  defaultResource->Create("Verdana", 12, 0);
  defaultResource->SetColour(1.0f, 1.0f, 1.0f, 1.0f);
}

bool FontManager::Load(const std::string& key) {
  Font& font = CreateEmptyEntry(key);
  if (g_graphicsDevice) g_graphicsDevice->RegisterDeviceObject(&font);
  return true;
}
