// The engine's resource-manager instances, one per asset type, each reached through a
// global pointer that the process entry (or, for fonts, the shell's Init) creates.
// Every file-reading instance has a folder string beside its pointer.
#pragma once

#include <string>

#include "engine/gui/Font.h"
#include "engine/gui/Texture.h"
#include "engine/materials/RenderStateSet.h"
#include "engine/resources/ResourceManager.h"

// Folder strings of the eight file-reading managers; each starts at its engine default
// and the game sets all of them to dataRoot before loading anything. The material, model,
// mesh and sound managers live beside their resource types and read their folders here.
extern std::string textureFolder;      // "Materials\"
extern std::string materialFolder;     // "Materials\"
extern std::string renderStateFolder;  // "Materials\"
extern std::string modelFolder;        // "Meshes\"
extern std::string meshFolder;         // "Meshes\"
extern std::string waveSoundFolder;    // "Wave sounds\"
extern std::string waveSound3DFolder;  // "3D wave sounds\"
extern std::string musicFolder;        // "Wave sounds\"

// Textures from PNG and JPEG files: a full mip chain, default filters, no colour key.
class TextureManager : public ResourceManager<Texture> {
 public:
  bool Load(const std::string& key) override;
  std::string Folder() const override { return textureFolder; }
};

// Render-state sets from render-state files; "AUTO_" names are created empty for the
// mesh and model readers to fill. Two defaults: "__DEFAULT__" (linear filtering on
// samplers 0 and 1) and "__DEFAULT_TRANSPARENT__" (the same plus alpha blending).
class RenderStateManager : public ResourceManager<RenderStateSet> {
 public:
  RenderStateManager();
  bool Load(const std::string& key) override;
  std::string Folder() const override { return renderStateFolder; }

  RenderStateSet* GetTransparentDefault() const { return transparentDefault; }

  static constexpr const char* kTransparentDefaultName = "__DEFAULT_TRANSPARENT__";

 protected:
  bool IsDefaultEntry(const RenderStateSet* entry) const override {
    return entry == defaultResource || entry == transparentDefault;
  }

  RenderStateSet* transparentDefault = nullptr;  // points into resources
};

// Fonts are not read from files: Acquire creates an empty font under the name, registered
// with the graphics device for lost/reset notification; the caller then calls Create.
// Load never fails. The constructor tries to create the default font (Verdana, 12),
// which stays empty when there is no device yet.
class FontManager : public ResourceManager<Font> {
 public:
  FontManager();
  bool Load(const std::string& key) override;
};

extern TextureManager* g_textureManager;
extern RenderStateManager* g_renderStateManager;
extern FontManager* g_fontManager;
