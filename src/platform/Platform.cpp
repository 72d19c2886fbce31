#include "platform/Platform.h"

namespace platform {

namespace {
Backend g_backend = Backend::Real;
}

void SetBackend(Backend backend) { g_backend = backend; }
Backend GetBackend() { return g_backend; }

}  // namespace platform
