#include "platform/error.h"

namespace tarnhold::platform {

Error::Error(const std::string& what) : std::runtime_error(what) {}

}  // namespace tarnhold::platform
