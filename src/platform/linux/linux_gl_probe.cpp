#include "platform/linux/linux_gl_probe.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

namespace tarnhold::platform::linux_backend {

std::string GlDriver() {
  const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (client == nullptr || std::strstr(client, "EGL_MESA_platform_surfaceless") == nullptr) return "";
  auto platformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (platformDisplay == nullptr) return "";
  EGLDisplay display = platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY || eglInitialize(display, nullptr, nullptr) == EGL_FALSE) return "";
  const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
  if (extensions == nullptr || std::strstr(extensions, "EGL_MESA_query_driver") == nullptr) return "";
  auto driverName =
      reinterpret_cast<PFNEGLGETDISPLAYDRIVERNAMEPROC>(eglGetProcAddress("eglGetDisplayDriverName"));
  const char* name = driverName != nullptr ? driverName(display) : nullptr;
  return name != nullptr ? name : "";
}

const char* RendererFor(const std::string& glDriver) {
  return glDriver.find("swrast") != std::string::npos ? "canvas" : "webgl";
}

}  // namespace tarnhold::platform::linux_backend
