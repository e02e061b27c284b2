// Key events: raised from any thread, performed in order on the simulator
// thread and handed to every hooked handler, as the simulator does with a
// pilot's own events.
#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

#include "internal.h"

namespace standin {

namespace {

struct Hook {
  KeyEventHandler handler;
  void* user;
  bool operator==(const Hook&) const = default;
};

struct KeyEventState {
  std::mutex mutex;
  std::deque<KeyEvent> queued;
  std::vector<Hook> hooks;
  std::vector<KeyEvent> performed;
};

KeyEventState& State() {
  static KeyEventState state;
  return state;
}

}  // namespace

void RaiseKeyEvent(std::uint32_t id, std::uint32_t data, By by) {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  state.queued.push_back({id, data, by});
}

void PerformKeyEvents() {
  auto& state = State();
  // Only the events queued so far: one that a handler raises waits for the
  // next frame, so that a handler cannot keep the frame from ending.
  std::deque<KeyEvent> due;
  {
    std::lock_guard lock(state.mutex);
    due.swap(state.queued);
  }
  for (const KeyEvent& event : due) {
    std::vector<Hook> hooks;
    {
      std::lock_guard lock(state.mutex);
      state.performed.push_back(event);
      hooks = state.hooks;
    }
    Emit("key_event", {{"id", event.id}, {"data", event.data}, {"by", ByName(event.by)}});
    for (const Hook& hook : hooks) hook.handler(event.id, event.data, hook.user);
  }
}

std::vector<KeyEvent> PerformedKeyEvents() {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  return state.performed;
}

std::size_t HookedHandlerCount() {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  return state.hooks.size();
}

// A handler hooked twice with the same user pointer is called once per event.
void HookKeyEventHandler(KeyEventHandler handler, void* user) {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  const Hook hook{handler, user};
  if (handler != nullptr &&
      std::find(state.hooks.begin(), state.hooks.end(), hook) == state.hooks.end()) {
    state.hooks.push_back(hook);
  }
}

void UnhookKeyEventHandler(KeyEventHandler handler, void* user) {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  std::erase(state.hooks, Hook{handler, user});
}

void ResetKeyEvents() {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  state.queued.clear();
  state.hooks.clear();
  state.performed.clear();
}

}  // namespace standin
