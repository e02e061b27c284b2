// Relays the following pilot's key events to the instance that flies.
#pragma once

#include <cstdint>

void KeyEventRelay(std::uint32_t id, std::uint32_t data, void* user);
