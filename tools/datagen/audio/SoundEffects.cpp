#include "Families.h"

// Not written yet: the family writes nothing.
bool WriteSoundEffects(const std::string&) { return true; }
