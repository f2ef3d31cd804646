// The start-up's installing and uninstalling stages. Each is called at its
// place in the start-up and unload sequence; what they do lands stage by stage.
#include "startup/form1.h"

namespace tarnhold {

void Form1::RegisterInstall() {}

void Form1::Uninstall() {}

}  // namespace tarnhold
