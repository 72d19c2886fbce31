#include "Families.h"

bool WriteAnimatedModels(const std::string&) { return true; }
