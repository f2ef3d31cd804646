#pragma once
// How a backend calls the behaviour's handlers from the system's event loop.
#include <exception>
#include <string_view>

namespace tarnhold::platform {

// Who a handler is: its window, the control or browser on it (empty for the
// window's own), and the event. Views, joined only when the handler fails:
// naming it costs nothing on the way in, and nothing can throw before the
// guard is up.
struct HandlerName {
  constexpr HandlerName(std::string_view windowName, std::string_view eventName)
      : window(windowName), event(eventName) {}
  constexpr HandlerName(std::string_view windowName, std::string_view partName, std::string_view eventName)
      : window(windowName), part(partName), event(eventName) {}
  std::string_view window;
  std::string_view part;
  std::string_view event;
};

// Where the word of a failed handler goes: its name ("Form1.Timer") and what
// it threw. Called on the thread that ran the handler; what it throws is lost.
using HandlerFailureSink = void (*)(std::string_view handler, std::string_view what);

// One for the process; nullptr (the start) keeps no word.
void SetHandlerFailureSink(HandlerFailureSink sink) noexcept;

// Tells the sink of the exception being handled; only Dispatch calls it,
// from inside its catch. Never throws.
void ReportHandlerFailure(const HandlerName& name) noexcept;

// A failing handler is abandoned and the program goes on: nothing unwinds
// through the system's frames (a window procedure, a GTK signal). It is not
// forgotten: the sink hears of it.
template <class Handler>
void Dispatch(const HandlerName& name, Handler&& handler) noexcept {
  try {
    handler();
  } catch (...) {
    ReportHandlerFailure(name);
  }
}

}  // namespace tarnhold::platform
