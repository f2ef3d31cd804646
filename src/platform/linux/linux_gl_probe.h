#pragma once
// Which of the emulator's renderers suits the graphics this machine has.
#include <string>

namespace tarnhold::platform::linux_backend {

// The name of the GL driver that web pages draw with, where Mesa tells it;
// empty where it does not (another vendor's GL, or none). The display is
// left initialised: EGL hands one display to every caller asking for the
// same one, and the web engine's may be it.
std::string GlDriver();

// With a graphics card, the emulator's own WebGL renderer: its wgpu one
// builds its pipelines anew for every movie, since each load makes a new
// instance, and that held the first frame some 0.6 s after the hand-over.
// Mesa's software rasterizers (swrast, kms_swrast) draw WebGL on the
// processor too, behind an emulation of a card; there the canvas renderer
// draws on the processor directly, for some 80 MiB less while a movie plays
// and a sooner first frame. The emulator falls back to the others where the
// one asked for is missing.
const char* RendererFor(const std::string& glDriver);

}  // namespace tarnhold::platform::linux_backend
