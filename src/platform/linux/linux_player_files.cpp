#include "platform/linux/linux_player_files.h"

#include <climits>
#include <utility>

namespace tarnhold::platform::linux_backend {

namespace {

const char* MimeOf(const std::string& path) {
  if (g_str_has_suffix(path.c_str(), ".js")) return "application/javascript";
  if (g_str_has_suffix(path.c_str(), ".wasm")) return "application/wasm";
  if (g_str_has_suffix(path.c_str(), ".html")) return "text/html";
  if (g_str_has_suffix(path.c_str(), ".map")) return "application/json";
  return "application/octet-stream";
}

bool OneName(const std::string& file) {
  return !file.empty() && file.find('/') == std::string::npos && file.find("..") == std::string::npos &&
         file.find('\0') == std::string::npos;
}

void Finish(WebKitURISchemeRequest* request, GBytes* bytes, const char* mime) {
  g_autoptr(GInputStream) stream = g_memory_input_stream_new_from_bytes(bytes);
  webkit_uri_scheme_request_finish(request, stream, static_cast<gint64>(g_bytes_get_size(bytes)), mime);
}

}  // namespace

PlayerAddress ParsePlayerAddress(const std::string& scheme, const std::string& uri) {
  const std::string prefix = scheme + "://player/";
  if (uri.compare(0, prefix.size(), prefix) != 0) return {};
  std::string rest = uri.substr(prefix.size());
  const std::size_t query = rest.find_first_of("?#");
  if (query != std::string::npos) rest.resize(query);
  for (const auto& [folder, kind] : {std::pair{"ruffle/", PlayerAddress::Kind::kEmulator},
                                     std::pair{"page/", PlayerAddress::Kind::kPageFile}}) {
    const std::string name(folder);
    if (rest.compare(0, name.size(), name) == 0) {
      const std::string file = rest.substr(name.size());
      return OneName(file) ? PlayerAddress{kind, file, 0} : PlayerAddress{};
    }
  }
  const std::size_t slash = rest.find('/');
  if (slash == std::string::npos) return {};
  const std::string number = rest.substr(0, slash);
  guint64 id = 0;
  // Digits only: no sign, no blank, no leading zero, nothing after.
  if (number.empty() || number[0] == '0' ||
      !g_ascii_string_to_unsigned(number.c_str(), 10, 1, INT_MAX, &id, nullptr)) {
    return {};
  }
  const std::string what = rest.substr(slash + 1);
  if (what.empty()) return {PlayerAddress::Kind::kPage, {}, static_cast<int>(id)};
  if (what == "movie") return {PlayerAddress::Kind::kMovie, {}, static_cast<int>(id)};
  return {};
}

void Answer(WebKitURISchemeRequest* request, const std::string& text, const char* mime) {
  g_autoptr(GBytes) bytes = g_bytes_new(text.data(), text.size());
  Finish(request, bytes, mime);
}

bool AnswerFile(WebKitURISchemeRequest* request, const std::string& native, const char* mime) {
  gchar* contents = nullptr;
  gsize size = 0;
  if (!g_file_get_contents(native.c_str(), &contents, &size, nullptr)) return false;
  g_autoptr(GBytes) bytes = g_bytes_new_take(contents, size);
  Finish(request, bytes, mime);
  return true;
}

void Fail(WebKitURISchemeRequest* request, const std::string& why) {
  g_autoptr(GError) error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, why.c_str());
  webkit_uri_scheme_request_finish_error(request, error);
}

bool AnswerResource(WebKitURISchemeRequest* request, GResource* bundle, const std::string& path,
                    std::string& why) {
  gsize size = 0;
  g_autoptr(GError) error = nullptr;
  g_autoptr(GInputStream) stream = nullptr;
  if (g_resource_get_info(bundle, path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, &size, nullptr, &error) !=
      FALSE) {
    stream = g_resource_open_stream(bundle, path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, &error);
  }
  if (stream == nullptr) {
    why = error != nullptr ? error->message : "";
    return false;
  }
  webkit_uri_scheme_request_finish(request, stream, static_cast<gint64>(size), MimeOf(path));
  return true;
}

}  // namespace tarnhold::platform::linux_backend
