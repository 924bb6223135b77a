#include "QuenlarCloudAPI/Platform/URL.h"

#include <charconv>
#include <system_error>

#include "QuenlarCloudAPI/Platform/CurlHandle.h"

namespace tq {
namespace {

using detail::CurlString;
using detail::CurlUrl;

constexpr unsigned kParseFlags = CURLU_URLENCODE | CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS;

// Appends `byte` as "%XX" with the digits of `hex` (upper or lower case).
void appendEscaped(std::string& out, unsigned char byte, const char (&hex)[17]) {
  out += '%';
  out += hex[byte >> 4];
  out += hex[byte & 0x0f];
}

// libcurl's parser refuses control characters outright and, in a query, encodes a space as "+"
// (which servers may read as a literal plus), so those bytes are escaped before it sees the text.
std::string escapeSpacesAndControls(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f) {
      appendEscaped(out, byte, kHex);
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> getPart(CURLU* handle, CURLUPart part) {
  char* raw = nullptr;
  if (curl_url_get(handle, part, &raw, 0) != CURLUE_OK || raw == nullptr) {
    return std::nullopt;
  }
  CurlString owned(raw);
  return std::string(owned.get());
}

std::string percentDecode(const std::string& text) {
  int length = 0;
  CurlString decoded(
      curl_easy_unescape(nullptr, text.data(), static_cast<int>(text.size()), &length));
  if (!decoded) {
    return text;
  }
  return std::string(decoded.get(), static_cast<size_t>(length));
}

bool isUnreserved(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

// Encodes `text` as a URL path: every byte but unreserved characters and '/' becomes %XX, NUL
// included. Done here rather than by libcurl, whose setters read C strings and would end the
// text at its first NUL.
std::string encodeAsPath(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (isUnreserved(byte) || c == '/') {
      out += c;
    } else {
      appendEscaped(out, byte, kHex);
    }
  }
  return out;
}

}  // namespace

std::optional<URL> URL::fromHandle(void* handle) {
  auto* parsed = static_cast<CURLU*>(handle);
  auto absolute = getPart(parsed, CURLUPART_URL);
  auto scheme = getPart(parsed, CURLUPART_SCHEME);
  if (!absolute || !scheme) {
    return std::nullopt;
  }
  URL url;
  url.absolute_ = std::move(*absolute);
  url.scheme_ = std::move(*scheme);
  url.host_ = getPart(parsed, CURLUPART_HOST).value_or("");
  url.encodedPath_ = getPart(parsed, CURLUPART_PATH).value_or("");
  url.query_ = getPart(parsed, CURLUPART_QUERY);
  if (const auto port = getPart(parsed, CURLUPART_PORT)) {
    int value = 0;
    const auto [end, error] = std::from_chars(port->data(), port->data() + port->size(), value);
    if (error == std::errc() && end == port->data() + port->size()) {
      url.port_ = value;
    }
  }
  return url;
}

std::optional<URL> URL::URLWithString(std::string_view text) {
  detail::curlGlobalInit();
  CurlUrl handle(curl_url());
  if (!handle) {
    return std::nullopt;
  }
  const std::string escaped = escapeSpacesAndControls(text);
  if (curl_url_set(handle.get(), CURLUPART_URL, escaped.c_str(), kParseFlags) != CURLUE_OK) {
    return std::nullopt;
  }
  return fromHandle(handle.get());
}

URL URL::fileURLWithPath(const std::filesystem::path& path) {
  detail::curlGlobalInit();
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) {
    absolute = path;
  }
  std::string encoded = encodeAsPath(absolute.native());
  if (encoded.empty() || encoded.front() != '/') {
    encoded.insert(0, 1, '/');  // a path that could not be made absolute still roots the URL
  }
  CurlUrl handle(curl_url());
  std::optional<URL> url;
  if (handle && curl_url_set(handle.get(), CURLUPART_SCHEME, "file", 0) == CURLUE_OK &&
      curl_url_set(handle.get(), CURLUPART_PATH, encoded.c_str(), 0) == CURLUE_OK) {
    url = fromHandle(handle.get());
  }
  if (!url) {
    // Only running out of memory gets here; an empty file URL keeps the caller going and makes
    // every file operation on it fail visibly.
    URL fallback;
    fallback.scheme_ = "file";
    fallback.encodedPath_.assign(1, '/');
    fallback.absolute_ = fallback.scheme_ + "://" + fallback.encodedPath_;
    return fallback;
  }
  return *url;
}

std::string URL::path() const {
  std::string decoded = percentDecode(encodedPath_);
  if (decoded.size() > 1 && decoded.back() == '/') {
    decoded.pop_back();
  }
  return decoded;
}

std::string URL::lastPathComponent() const {
  std::string_view encoded = encodedPath_;
  while (encoded.size() > 1 && encoded.back() == '/') {
    encoded.remove_suffix(1);
  }
  if (encoded == "/" || encoded.empty()) {
    return std::string(encoded);
  }
  const auto slash = encoded.rfind('/');
  if (slash != std::string_view::npos) {
    encoded.remove_prefix(slash + 1);
  }
  return percentDecode(std::string(encoded));
}

URL URL::URLByAppendingPathComponent(std::string_view component) const {
  std::string base = encodedPath_;
  if (base.empty() || base.back() != '/') {
    base += '/';
  }
  CurlUrl handle(curl_url());
  if (!handle ||
      curl_url_set(handle.get(), CURLUPART_URL, absolute_.c_str(), kParseFlags) != CURLUE_OK) {
    return *this;
  }
  const std::string joined = base + encodeAsPath(component);
  if (curl_url_set(handle.get(), CURLUPART_PATH, joined.c_str(), 0) != CURLUE_OK) {
    return *this;
  }
  return fromHandle(handle.get()).value_or(*this);
}

}  // namespace tq
