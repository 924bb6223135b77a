#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"

#include "QuenlarCloudAPI/Platform/Utf8.h"

namespace NSURL_Helper {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

std::string decoded(std::string_view text, bool plusIsBlank) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>((high << 4) | low);
        i += 2;
        continue;
      }
    }
    out += plusIsBlank && text[i] == '+' ? ' ' : text[i];
  }
  return out;
}

}  // namespace

std::map<std::string, std::string> parameterDictionary(const tq::URL& url) {
  std::map<std::string, std::string> parameters;
  if (!url.query()) {
    return parameters;
  }
  const std::string_view query = *url.query();
  std::size_t pieceStart = 0;
  while (pieceStart <= query.size()) {
    const std::size_t ampersand = query.find('&', pieceStart);
    const std::size_t pieceEnd = ampersand == std::string_view::npos ? query.size() : ampersand;
    const std::string_view piece = query.substr(pieceStart, pieceEnd - pieceStart);
    if (const std::size_t equals = piece.find('='); equals != std::string_view::npos) {
      const std::string_view rest = piece.substr(equals + 1);
      const std::string_view value = rest.substr(0, rest.find('='));
      parameters.insert_or_assign(std::string(piece.substr(0, equals)), std::string(value));
    }
    pieceStart = pieceEnd + 1;
  }
  return parameters;
}

std::optional<std::string> valueForParameter(const tq::URL& url, std::string_view name) {
  auto parameters = parameterDictionary(url);
  const auto found = parameters.find(std::string(name));
  if (found == parameters.end()) {
    return std::nullopt;
  }
  return std::move(found->second);
}

std::string percentDecoded(std::string_view text) { return decoded(text, false); }

std::optional<std::string> strictlyPercentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    out += static_cast<char>((high << 4) | low);
    i += 2;
  }
  tq::Utf8Decoder decoder(out);
  while (const auto character = decoder.next()) {
    if (!character->valid) {
      return std::nullopt;
    }
  }
  return out;
}

std::string formDecoded(std::string_view text) { return decoded(text, true); }

}  // namespace NSURL_Helper
