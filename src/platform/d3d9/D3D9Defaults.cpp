#include "platform/d3d9/D3D9Defaults.h"

namespace platform::d3d9 {

namespace {

constexpr DWORD kOne = 0x3F800000u;  // 1.0f

struct StateDefault {
  DWORD state;
  DWORD value;
};

// The 103 render states Direct3D 9 defines, with their defaults. POINTSIZE is 1.0
// and POINTSIZE_MAX 64.0; DEBUGMONITORTOKEN takes the documented D3DDMT_ENABLE.
constexpr StateDefault kRenderStates[] = {
    {7, 1},          {8, 3},          {9, 2},          {14, 1},         {15, 0},
    {16, 1},         {19, 2},         {20, 1},         {22, 3},         {23, 4},
    {24, 0},         {25, 8},         {26, 0},         {27, 0},         {28, 0},
    {29, 0},         {34, 0},         {35, 0},         {36, 0},         {37, kOne},
    {38, kOne},      {48, 0},         {52, 0},         {53, 1},         {54, 1},
    {55, 1},         {56, 8},         {57, 0},         {58, 0xFFFFFFFFu}, {59, 0xFFFFFFFFu},
    {60, 0xFFFFFFFFu}, {128, 0},      {129, 0},        {130, 0},        {131, 0},
    {132, 0},        {133, 0},        {134, 0},        {135, 0},        {136, 1},
    {137, 1},        {139, 0},        {140, 0},        {141, 1},        {142, 1},
    {143, 0},        {145, 1},        {146, 2},        {147, 0},        {148, 0},
    {151, 0},        {152, 0},        {154, kOne},     {155, kOne},     {156, 0},
    {157, 0},        {158, kOne},     {159, 0},        {160, 0},        {161, 1},
    {162, 0xFFFFFFFFu}, {163, 0},     {165, 0},        {166, 0x42800000u}, {167, 0},
    {168, 0xF},      {170, 0},        {171, 1},        {172, 3},        {173, 1},
    {174, 0},        {175, 0},        {176, 0},        {178, kOne},     {179, kOne},
    {180, 0},        {181, 0},        {182, kOne},     {183, 0},        {184, 0},
    {185, 0},        {186, 1},        {187, 1},        {188, 1},        {189, 8},
    {190, 0xF},      {191, 0xF},      {192, 0xF},      {193, 0xFFFFFFFFu}, {194, 0},
    {195, 0},        {198, 0},        {199, 0},        {200, 0},        {201, 0},
    {202, 0},        {203, 0},        {204, 0},        {205, 0},        {206, 0},
    {207, 2},        {208, 1},        {209, 1},
};
static_assert(sizeof kRenderStates / sizeof kRenderStates[0] == 103);

constexpr DWORD kSamplerDefaults[kD3DSamplerStateCount] = {
    0, 1, 1, 1, 0, 1, 1, 0, 0, 0, 1, 0, 0, 0,
};

}  // namespace

bool DefaultRenderState(DWORD state, DWORD* value) {
  for (const auto& d : kRenderStates) {
    if (d.state == state) {
      *value = d.value;
      return true;
    }
  }
  return false;
}

bool DefaultSamplerState(DWORD type, DWORD* value) {
  if (type < 1 || type >= kD3DSamplerStateCount) return false;
  *value = kSamplerDefaults[type];
  return true;
}

bool DefaultTextureStageState(DWORD stage, DWORD type, DWORD* value) {
  switch (type) {
    case D3DTSS_COLOROP: *value = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE; return true;
    case D3DTSS_COLORARG1: *value = D3DTA_TEXTURE; return true;
    case D3DTSS_COLORARG2: *value = D3DTA_CURRENT; return true;
    case D3DTSS_ALPHAOP: *value = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE; return true;
    case D3DTSS_ALPHAARG1: *value = D3DTA_TEXTURE; return true;
    case D3DTSS_ALPHAARG2: *value = D3DTA_CURRENT; return true;
    case D3DTSS_BUMPENVMAT00:
    case D3DTSS_BUMPENVMAT01:
    case D3DTSS_BUMPENVMAT10:
    case D3DTSS_BUMPENVMAT11:
    case D3DTSS_BUMPENVLSCALE:
    case D3DTSS_BUMPENVLOFFSET:
    case D3DTSS_TEXTURETRANSFORMFLAGS:
    case D3DTSS_CONSTANT: *value = 0; return true;
    case D3DTSS_TEXCOORDINDEX: *value = stage; return true;
    case D3DTSS_COLORARG0:
    case D3DTSS_ALPHAARG0:
    case D3DTSS_RESULTARG: *value = D3DTA_CURRENT; return true;
    default: return false;
  }
}

}  // namespace platform::d3d9
