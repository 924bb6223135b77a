#include "QuenlarCloudAPI/APILogger/TQAPIConsoleLogger.h"

#include <string>

#include "QuenlarCloudAPI/APILogger/TQAPILogRedaction.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/Platform/Utf8.h"

namespace {

constexpr std::string_view kInfo = "INFO";
constexpr std::string_view kDebug = "DEBUG";
constexpr std::string_view kError = "ERROR";
constexpr std::string_view kNull = "(null)";

std::string line(std::string_view level, std::string_view text) {
  std::string out;
  out.reserve(level.size() + text.size() + 3);
  out += '[';
  out += level;
  out += "] ";
  out += text;
  return out;
}

std::string urlText(const std::optional<tq::URL>& url) {
  return url ? TQAPILogRedaction::redactedURLString(url->absoluteString()) : std::string(kNull);
}

bool isValidUTF8(std::string_view bytes) {
  tq::Utf8Decoder decoder(bytes);
  while (const auto character = decoder.next()) {
    if (!character->valid) {
      return false;
    }
  }
  return true;
}

// Text that is not UTF-8 prints as nil, as a body that cannot be read as text always has.
std::string bodyText(const std::optional<std::string>& body) {
  if (!body || !isValidUTF8(*body)) {
    return std::string(kNull);
  }
  return TQAPILogRedaction::redactedBody(*body);
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (NSString_HelperMethods::equalsIgnoringCase(text.substr(at, part.size()), part)) {
      return true;
    }
  }
  return false;
}

// The token endpoint's answers hold fresh tokens; they are known by the URL asked for as much as
// by the URL that answered, so a redirect cannot hide one.
bool isTokenEndpoint(const tq::URLSessionTask& task) {
  const auto& requested = task.originalRequest().url();
  if (requested &&
      containsIgnoringCase(requested->absoluteString(), removeSecurityResponseIdentifier)) {
    return true;
  }
  const auto response = task.response();
  return response != nullptr &&
         containsIgnoringCase(response->url().absoluteString(), removeSecurityResponseIdentifier);
}

std::string errorText(const tq::URLError& error) {
  return "Error Domain=" + error.domain() + " Code=" + std::to_string(error.code()) + " \"" +
         error.localizedDescription() + "\"";
}

}  // namespace

std::string TQAPIConsoleLogger::logHeader(const tq::HTTPHeaderFields& headers) {
  std::string text;
  for (const auto& [key, value] : headers) {
    if (TQAPILogRedaction::isSecretHeaderName(key)) {
      continue;
    }
    text += "\nkey = ";
    text += key;
    text += " value = ";
    text += TQAPILogRedaction::redactedURLString(value);
  }
  return text;
}

void TQAPIConsoleLogger::URLSessionTaskDidStart(const std::shared_ptr<tq::URLSessionTask>& task) {
  if (!task) {
    return;
  }
  const tq::URLRequest& request = task->originalRequest();
  switch (logLevel()) {
    case TQAPILogLevelInfo:
      write({line(kInfo, "HTTP Method:" + request.HTTPMethod()),
             line(kInfo, "Request URL:'" + urlText(request.url()) + "'")});
      break;
    case TQAPILogLevelDebug:
      write({line(kDebug, "HTTPSHeaders:" + logHeader(request.allHTTPHeaderFields())),
             line(kDebug, "HTTPS Body:" + bodyText(request.HTTPBody()))});
      break;
    default:
      break;
  }
}

void TQAPIConsoleLogger::URLSessionTaskDidFinish(
    const std::shared_ptr<tq::URLSessionTask>& task,
    const std::shared_ptr<TQAPIQueryResponse>& responseObject,
    const std::optional<tq::URLError>& error) {
  if (!task) {
    return;
  }
  const auto response = task->response();
  const int status = response ? response->statusCode() : 0;
  const int32_t level = logLevel();
  if (error) {
    if (level < TQAPILogLevelInfo || level > TQAPILogLevelError) {
      return;
    }
    const std::optional<tq::URL> answeredURL =
        response ? std::optional<tq::URL>(response->url()) : std::nullopt;
    write({line(kError, "HTTP Method:" + task->originalRequest().HTTPMethod()),
           line(kError, "Request URL:'" + urlText(answeredURL) + "'"),
           line(kError, "Status Code:(" + std::to_string(status) + ")"),
           line(kError, "Error:" + errorText(*error))});
    return;
  }
  if (level == TQAPILogLevelInfo) {
    write({line(kInfo, "Status Code:" + std::to_string(status) + " ")});
  } else if (level == TQAPILogLevelDebug) {
    std::vector<std::string> lines{line(
        kDebug, "HTTPSHeaders:" +
                    logHeader(response ? response->allHeaderFields() : tq::HTTPHeaderFields{}))};
    if (!isTokenEndpoint(*task)) {
      const auto json = responseObject ? responseObject->jsonResponse() : nullptr;
      lines.push_back(line(kDebug, "Response:" + (json ? TQAPILogRedaction::redactedJSONText(*json)
                                                       : std::string(kNull))));
    }
    write(lines);
  }
}

void TQAPIConsoleLogger::messageLogger(std::string_view message) {
  if (logLevel() == TQAPILogLevelInfo) {
    write({line(kInfo, message)});
  }
}

void TQAPIConsoleLogger::setSink(TQAPIConsoleLoggerSink sink) {
  std::lock_guard lock(mutex_);
  sink_.swap(sink);
  // The replaced sink, and what it holds, goes after unlocking.
}

void TQAPIConsoleLogger::write(const std::vector<std::string>& lines) {
  std::lock_guard lock(mutex_);
  for (const auto& text : lines) {
    if (sink_) {
      sink_(text);
    } else {
      tq::systemLog(text);
    }
  }
}
