// String helpers the call classes and the upload use: the percent-encoder for values placed in
// URLs, the file checksum, and three small text helpers.
//
// Everything here is stateless and safe from any thread. md5HashWithCompletionHandler reads the
// file on the global queue and calls its handler on the main queue.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace NSString_HelperMethods {

// Keeps the letters, marks and digits of every script and the six characters "-._~/?"; every
// other character becomes the percent-encoding of its UTF-8 bytes in upper-case hexadecimal. A
// "/" or "?" inside a value is therefore not escaped, while "&", "=", "+", blanks, ":" and "#"
// are. Bytes that are not valid UTF-8 are each percent-encoded on their own.
std::string stringByAddingPercentEncoding(std::string_view text);

// The platform's URL-query encoding, which some call classes use instead of the one above: keeps
// ASCII letters and digits and "!$&'()*+,-./:;=?@_~", percent-encodes every other byte (so
// every non-ASCII character) in upper-case hexadecimal. "&", "=" and "+" stay as they are, so a
// value encoded this way can still split a query: callers choose it only where that is intended.
std::string stringByAddingURLQueryPercentEncoding(std::string_view text);

// A path of the account placed in a URL's path ("/files<path>", "/metadata<path>"): the URL-query
// encoding above with "?" escaped too, so a "?" or "#" in a file name cannot start the query or
// the fragment and reach another item.
std::string urlPathEncoded(std::string_view path);

// An identifier the host gives (a UID, a contact ID) placed in a URL's path. A "/" or "%" the
// host wrote stays, as callers may rely on it; blanks, controls, non-ASCII bytes, "?", "#" and
// the characters no URL may hold are percent-encoded; and a segment that is "." or ".." is
// written "%2E" / "%2E%2E", so the transport never collapses it and reaches another resource.
std::string urlPathSegmentsEncoded(std::string_view identifier);

// A raw query value: "&", "#", blanks, controls and non-ASCII bytes, and each character of
// `alsoEncoded`, are percent-encoded, so the value can neither end its pair nor the query; every
// other character, "%" and "+" included, goes as the caller wrote it.
std::string rawQueryValueEncoded(std::string_view value, std::string_view alsoEncoded = {});

// Receives the checksum as 64 lower-case hexadecimal characters, or nullopt when the file could
// not be opened or read.
using TQFileChecksumHandler = std::function<void(std::optional<std::string> checksum)>;

// The SHA-256 (despite the name) of the file at `path`, computed on the global queue in pieces
// of bounded size, so files of any size can be hashed. The handler runs once on the main queue;
// an empty handler means nothing is read.
void md5HashWithCompletionHandler(std::string path, TQFileChecksumHandler completionHandler);

// The text's bytes in standard Base64, without line breaks.
std::string base64EncodededString(std::string_view text);

// The text between the first `startTag` and the next `endTag` after it (or the end of the text).
// Empty when the text is empty or holds no `startTag`.
std::string scanString(std::string_view text, std::string_view startTag, std::string_view endTag);

// True when the two texts are equal byte for byte once each byte is lower-cased with
// std::tolower, as names of parameters, headers and redirect addresses are compared.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace NSString_HelperMethods
