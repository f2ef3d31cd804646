#pragma once
// Run-time ActiveX controls: their hosting face (the extender's Visible and
// position) and their automation face (properties and methods by name).
#include <string>
#include <variant>
#include <vector>

namespace tarnhold::platform {

using Variant = std::variant<std::monostate, bool, int, double, std::string>;

class ActiveXControl {
 public:
  virtual ~ActiveXControl() = default;
  virtual const std::string& Name() const = 0;
  // Hosting face, in twips on the form.
  virtual void SetVisible(bool visible) = 0;
  virtual void SetExtent(const std::string& property, double twips) = 0;  // Left, Top, Width, Height
  // Automation face, by name through IDispatch.
  virtual void SetProperty(const std::string& name, const Variant& value) = 0;
  virtual Variant Invoke(const std::string& method, const std::vector<Variant>& args) = 0;
};

}  // namespace tarnhold::platform
