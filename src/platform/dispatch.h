#pragma once
// How a backend calls the behaviour's handlers from the system's event loop.

namespace tarnhold::platform {

// A failing handler is abandoned and the program goes on: nothing unwinds
// through the system's frames (a window procedure, a GTK signal).
template <class Handler>
void Dispatch(Handler&& handler) noexcept {
  try {
    handler();
  } catch (...) {
  }
}

}  // namespace tarnhold::platform
