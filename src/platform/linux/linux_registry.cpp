#include "platform/linux/linux_registry.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <optional>

#include "platform/error.h"

namespace tarnhold::platform::linux_backend {

namespace {

// Byte by byte, as a name may hold a NUL that a C string would end at.
bool SamePrefix(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char a, char b) { return g_ascii_tolower(a) == g_ascii_tolower(b); });
}

bool Same(const std::string& a, const std::string& b) { return a.size() == b.size() && SamePrefix(a, b); }

// "ROOT\key\path\Value": the root up to the first backslash (its short forms
// taken to the long name, so both reach one key), the value after the last.
// An empty value (the name ends in a backslash) means the key itself.
struct RegistryName {
  std::string key;
  std::string value;
  bool rootOnly = false;
};

RegistryName ParseRegistryName(const std::string& name) {
  static constexpr std::array<std::array<const char*, 2>, 8> kRoots = {{
      {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER"},
      {"HKCU", "HKEY_CURRENT_USER"},
      {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE"},
      {"HKLM", "HKEY_LOCAL_MACHINE"},
      {"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT"},
      {"HKCR", "HKEY_CLASSES_ROOT"},
      {"HKEY_USERS", "HKEY_USERS"},
      {"HKEY_CURRENT_CONFIG", "HKEY_CURRENT_CONFIG"},
  }};
  const auto first = name.find('\\');
  std::string root;
  if (first != std::string::npos) {
    for (const auto& candidate : kRoots) {
      if (Same(name.substr(0, first), candidate[0])) root = candidate[1];
    }
  }
  if (root.empty()) throw Error("invalid root in registry key: " + name);
  const std::string rest = name.substr(first + 1);
  const auto last = rest.find_last_of('\\');
  RegistryName parsed;
  parsed.rootOnly = last == std::string::npos;
  parsed.key = parsed.rootOnly ? root : root + "\\" + rest.substr(0, last);
  parsed.value = parsed.rootOnly ? rest : rest.substr(last + 1);
  return parsed;
}

// What the key file cannot hold as a group or key name is refused rather
// than written as something else.
bool Storable(const std::string& name, bool group) {
  if (name.empty()) return false;
  if (!group && (name.front() == ' ' || name.back() == ' ' || name.find('=') != std::string::npos)) {
    return false;
  }
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return c == '[' || c == ']' || c == '\n' || c == '\r' || c == '\0'; });
}

// The key's unnamed value, under the name .reg files give it.
std::string StoredValueName(const std::string& value) { return value.empty() ? "@" : value; }

std::optional<std::string> FindGroup(GKeyFile* file, const std::string& key) {
  g_auto(GStrv) groups = g_key_file_get_groups(file, nullptr);
  for (gchar** group = groups; *group != nullptr; ++group) {
    if (Same(*group, key)) return std::string(*group);
  }
  return std::nullopt;
}

std::optional<std::string> FindValue(GKeyFile* file, const std::string& group, const std::string& value) {
  g_auto(GStrv) keys = g_key_file_get_keys(file, group.c_str(), nullptr, nullptr);
  for (gchar** key = keys; key != nullptr && *key != nullptr; ++key) {
    if (Same(*key, value)) return std::string(*key);
  }
  return std::nullopt;
}

bool HasSubkeys(GKeyFile* file, const std::string& key) {
  g_auto(GStrv) groups = g_key_file_get_groups(file, nullptr);
  const std::string prefix = key + "\\";
  for (gchar** group = groups; *group != nullptr; ++group) {
    if (SamePrefix(*group, prefix)) return true;
  }
  return false;
}

GKeyFile* Load(const std::string& path) {
  g_autoptr(GKeyFile) file = g_key_file_new();
  g_autoptr(GError) error = nullptr;
  if (!g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_KEEP_COMMENTS, &error)) {
    // No file yet is an empty registry; one that cannot be read is not, and
    // is left alone rather than overwritten.
    if (!g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT)) {
      throw Error("the registry cannot be read: " + path + ": " + error->message);
    }
  }
  return static_cast<GKeyFile*>(g_steal_pointer(&file));
}

// g_key_file_save_to_file writes a new file and renames it into place.
void Save(GKeyFile* file, const std::string& folder, const std::string& path) {
  if (g_mkdir_with_parents(folder.c_str(), 0755) != 0 || !g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR)) {
    throw Error("cannot create " + folder);
  }
  g_autoptr(GError) error = nullptr;
  if (!g_key_file_save_to_file(file, path.c_str(), &error)) {
    throw Error("the registry cannot be written: " + path + ": " + error->message);
  }
}

}  // namespace

KeyFileRegistry::KeyFileRegistry(const std::string& folder)
    : folder_(folder), path_(folder + "/registry.ini") {}

void KeyFileRegistry::Write(const std::string& name, const std::string& value,
                            const std::string& type) const {
  if (!Same(type, "REG_SZ")) throw Error("registry type not supported: " + type);
  const RegistryName target = ParseRegistryName(name);
  const std::string valueName = StoredValueName(target.value);
  if (!Storable(target.key, true) || !Storable(valueName, false)) {
    throw Error("registry name not supported: " + name);
  }
  g_autoptr(GKeyFile) file = Load(path_);
  const std::string group = FindGroup(file, target.key).value_or(target.key);
  const std::string key = FindValue(file, group, valueName).value_or(valueName);
  g_key_file_set_string(file, group.c_str(), key.c_str(), value.c_str());
  Save(file, folder_, path_);
}

// A key goes with its values but not with its subkeys, as RegDeleteKey
// refuses one that has any.
void KeyFileRegistry::Delete(const std::string& name) const {
  const RegistryName target = ParseRegistryName(name);
  g_autoptr(GKeyFile) file = Load(path_);
  const std::optional<std::string> group = FindGroup(file, target.key);
  if (target.value.empty()) {
    if (target.rootOnly) throw Error("a root key cannot be removed: " + name);
    if (HasSubkeys(file, target.key)) throw Error("the key has subkeys: " + name);
    if (!group) throw Error("registry key not found: " + name);
    g_key_file_remove_group(file, group->c_str(), nullptr);
  } else {
    const std::optional<std::string> key = group ? FindValue(file, *group, target.value) : std::nullopt;
    if (!key) throw Error("registry value not found: " + name);
    g_key_file_remove_key(file, group->c_str(), key->c_str(), nullptr);
  }
  Save(file, folder_, path_);
}

}  // namespace tarnhold::platform::linux_backend
