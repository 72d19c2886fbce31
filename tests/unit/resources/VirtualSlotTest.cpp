// The virtual operations of the engine's polymorphic base classes keep a fixed order in
// the virtual table (a destructor takes two slots under the Itanium C++ ABI used on
// Linux). A member added or moved above them shifts every later slot; these checks pin it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "engine/gui/Drawable2D.h"
#include "engine/gui/Font.h"
#include "engine/gui/Texture.h"
#include "engine/input/KeyControl.h"
#include "engine/resources/ResourceManager.h"

namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The slot index of a virtual member function, or -1 for a non-virtual one. Under the
// Itanium ABI a pointer to a virtual member holds 1 + its byte offset in the table.
template <typename C, typename F>
std::ptrdiff_t SlotOf(F C::*member) {
  struct Representation {
    std::uintptr_t pointer;
    std::ptrdiff_t adjustment;
  };
  static_assert(sizeof member == sizeof(Representation));
  Representation r;
  std::memcpy(&r, &member, sizeof r);
  if ((r.pointer & 1u) == 0) return -1;
  return static_cast<std::ptrdiff_t>((r.pointer - 1) / sizeof(void*));
}

TEST(VirtualSlotTest, OperationsKeepTheirOrder) {
  // Load first, then the destructor's two slots, then Folder.
  EXPECT_EQ(SlotOf(&ResourceManager<Texture>::Load), 0);
  EXPECT_EQ(SlotOf(&ResourceManager<Texture>::Folder), 3);

  // Destructor, then the lost- and reset-device handlers.
  EXPECT_EQ(SlotOf(&Font::OnLostDevice), 2);
  EXPECT_EQ(SlotOf(&Font::OnResetDevice), 3);

  // Destructor, then Draw.
  EXPECT_EQ(SlotOf(&Drawable2D::Draw), 2);

  // The three key queries come first.
  EXPECT_EQ(SlotOf(&KeyControl::WasReleased), 0);
  EXPECT_EQ(SlotOf(&KeyControl::IsDown), 1);
  EXPECT_EQ(SlotOf(&KeyControl::KeyName), 2);
}
#endif

}  // namespace
