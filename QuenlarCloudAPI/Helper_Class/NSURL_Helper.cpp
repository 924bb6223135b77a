#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"

namespace NSURL_Helper {

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

}  // namespace NSURL_Helper
