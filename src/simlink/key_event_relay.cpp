#include "simlink/key_event_relay.h"

void KeyEventRelay(std::uint32_t, std::uint32_t, void*) {}
