// Relays the following pilot's key events to the instance that flies.
#pragma once

#include <cstdint>

// The two marker key events that announce a replayed event to the relay:
// the first carries the event's id, the second its data.
inline constexpr std::uint32_t kMarkerEventId = 0x104D3;
inline constexpr std::uint32_t kMarkerEventData = 0x104D4;

// The key-event handler hooked at module start: keeps the echo filter and
// sends relayed events through the running role.
void KeyEventRelay(std::uint32_t id, std::uint32_t data, void* user);
// Whether the key event is relayed at all under the present state.
bool IsRelayedKeyEvent(std::uint32_t id);
