#include "Families.h"

// Not written yet: the family writes nothing.
bool WriteInterfaceArt(const std::string&) { return true; }
