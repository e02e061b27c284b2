// Unit tests start roles in this machine's own network, where no test router
// stands; the module must not send its router discovery out of the machine.
#include "session/router_mapping.h"

namespace {
const bool kRouterOff = (KeepRouterMappingOff(), true);
}  // namespace
