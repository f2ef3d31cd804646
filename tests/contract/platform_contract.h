#pragma once
// What every backend of the platform seam does where the behaviour depends
// on it, written once and run by each backend's own test program through a
// factory of that backend. The Win32 backend on the real system is the
// measure: where another backend answered otherwise, it was the one mended.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/context.h"

namespace tarnhold::contract {

// How a local server answers one path.
enum class Fault {
  None,
  NotFound,  // 404 with a short error page
  Cut,       // announces the whole body, sends `sent` bytes and hangs up
  Stall,     // announces the whole body, sends `sent` bytes and then nothing
  Trickle,   // sends the body a byte each 20 ms
  Redirect,  // 302 to the path with ".new" after it, which has the body
};

// The project's content server's rules (tools/content_server.py), one path
// at a time; each answer is the whole file of them.
class ServerRules {
 public:
  std::string Add(const std::string& path, Fault fault, std::size_t sent);
  static std::string FileOf(const std::string& path, Fault fault) {
    return fault == Fault::Redirect ? path + ".new" : path;
  }

 private:
  std::map<std::string, std::string> rules_;
};

// One backend, made afresh for each test and gone after it.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual platform::Context& Context() = 0;
  // An empty folder of the test's own, named as the behaviour names paths.
  virtual std::string Folder() = 0;
  // Holds the file in use as a running program holds its own executable,
  // until the holder goes.
  virtual std::shared_ptr<void> HoldInUse(const std::string& path) = 0;
  // The code page of this system set up for that Windows code page; none
  // when it cannot be set up so here.
  virtual const platform::CodePage* CodePage(int windowsCodePage) = 0;
  // A registry value's text as another reader finds it, by the name it was
  // first written under.
  virtual std::optional<std::string> RegistryValue(const std::string& name) = 0;
  // Serves the body at the path with the fault; the URL, or empty when this
  // backend cannot answer so.
  virtual std::string Serve(const std::string& path, const std::vector<std::uint8_t>& body, Fault fault,
                            std::size_t sent = 0) = 0;
  // Why no windows, and so no controls, can be made here; empty when they can.
  virtual std::string WhyNoWindows() { return {}; }
  // A run-time control on a form, with a property name and value it takes.
  virtual platform::ActiveXControl* Control(std::pair<std::string, platform::Variant>& property) = 0;
  // Lets the system deliver what it has queued until the condition holds;
  // false when it did not within a few seconds.
  virtual bool Settle(const std::function<bool()>& condition) { return condition(); }
};

struct Factory {
  std::string name;
  std::function<std::unique_ptr<Backend>()> make;
};

inline void PrintTo(const Factory& factory, std::ostream* out) { *out << factory.name; }
inline std::string FactoryName(const ::testing::TestParamInfo<Factory>& info) { return info.param.name; }

class Contract : public ::testing::TestWithParam<Factory> {
 protected:
  void SetUp() override { backend_ = GetParam().make(); }
  void TearDown() override { backend_.reset(); }
  Backend& backend() { return *backend_; }
  platform::Files& files() { return backend_->Context().FileSystem(); }
  platform::Downloads& downloads() { return backend_->Context().Download(); }
  std::string root() { return backend_->Folder(); }

 private:
  std::unique_ptr<Backend> backend_;
};

}  // namespace tarnhold::contract
