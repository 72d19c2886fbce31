#include "Families.h"

// Not written yet: the family writes nothing.
bool WriteStaticModels(const std::string&) { return true; }
