#pragma once
// One owner for GObject references: the reference goes with the owner.
#include <glib-object.h>

#include <memory>

namespace tarnhold::platform::linux_backend {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};

template <typename T>
using GOwned = std::unique_ptr<T, GObjectUnref>;

}  // namespace tarnhold::platform::linux_backend
