#include "Families.h"

// Not written yet: the family writes nothing.
bool WriteAnimatedModels(const std::string&) { return true; }
