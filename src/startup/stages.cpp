// The start-up's later stages: fetching the resource files, the Flash check and
// provisioning, installing, and uninstalling. Each is called at its place in
// the start-up and unload sequence; what they do lands stage by stage.
#include "startup/form1.h"

namespace tarnhold {

void Form1::SetupClient() {}

void Form1::Uninstall() {}

}  // namespace tarnhold
