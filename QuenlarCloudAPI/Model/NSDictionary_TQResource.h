// NSDictionary(TQResource): the accessors of a server resource object, the JSON object that
// describes one file or folder. They alone know the server's resource keys: where each attribute
// lives (top level, or under "systemAttributes"), what it falls back to, and how it converts.
//
// Rules shared by every accessor:
// - A member is present when the object has the key, whatever its value (null included). "sa X,
//   else Y" takes member X of "systemAttributes" when present, else the top-level member Y: an
//   empty text or a null under "systemAttributes" wins over a full top-level member.
// - A "systemAttributes" that is not an object, or an object argument that is not an object,
//   has no members. Values of an unexpected type convert as described below and never throw.
// - "As received" accessors answer a pointer to the member inside `object` (valid while `object`
//   lives and is not changed), or nullptr when it is absent.
// Every function is stateless and safe from any thread; none changes the object.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Model/TQNumber.h"
#include "QuenlarCloudAPI/Model/TQResourceValues.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/Value.h"

// Reads and writes resource dates in the one form the server uses,
// "yyyy-MM-dd'T'HH:mm:ss.SSS'Z'", always in UTC. Reading is strict: exactly that shape, every
// field in its range (months 01-12, days within their month, hours 00-23, minutes and seconds
// 00-59), exactly three digits of milliseconds and the final Z; anything else reads as nil.
// Keeps no state, so one instance serves every thread at once.
class TQResourceDateFormatter {
 public:
  std::optional<tq::Date> dateFromString(std::string_view text) const;
  // The text of `date` in the same form; years outside 0000-9999 have no such text (nullopt).
  std::optional<std::string> stringFromDate(tq::Date date) const;
};

namespace NSDictionary_TQResource {

// The resource date formatter that every resource date is read with.
const TQResourceDateFormatter& apiDateFormatter();

// Conversions, shared by every accessor, the records and the store. Each takes a member as a
// pointer (nullptr when absent).
//
// Text: a text as it is; a number or a boolean as "%@" prints it; an array or object as its
// compact JSON text; null and absent give nil.
std::optional<std::string> textValue(const tq::JSON* value);
// "%@" formatting: textValue, with "(null)" for nil.
std::string formattedValue(const tq::JSON* value);
// Number: a JSON number or boolean; any other value gives nil.
std::optional<TQNumber> numberValue(const tq::JSON* value);
// Date: a text that the resource date formatter reads; anything else gives nil.
std::optional<tq::Date> dateValue(const tq::JSON* value);
// Boolean: a boolean as it is, a number when not zero, a text the way "YES", "true" or "1" read
// (leading blanks and zeros and one sign skipped, then Y, y, T, t or a digit 1-9 means true);
// null, absent, arrays and objects give false.
bool booleanValue(const tq::JSON* value);

// Path helpers of the accessors.
// The text without its last path component: trailing "/" are dropped first, then the last
// component and the "/" before it; "/a/b/" gives "/a", "/a" gives "/", "a" gives "", "/" stays
// "/".
std::string stringByDeletingLastPathComponent(std::string_view path);
// The characters after the last full stop of the last path component; "" when there is none.
std::string pathExtension(std::string_view path);

// The accessors, one per attribute.
const tq::JSON* album(const tq::JSON& object);                 // sa "Album", else "album"
std::string artist(const tq::JSON& object);                    // sa "Artist", else "artist", "%@"
std::optional<tq::Date> capturedDate(const tq::JSON& object);  // sa "CaptureDate"
const tq::JSON* checkSum(const tq::JSON& object);              // "checksum"
const tq::JSON* contentType(const tq::JSON& object);           // sa "MimeType", else "mimeType"
const tq::JSON* contentToken(const tq::JSON& object);          // "contentToken"
const tq::JSON* countValue(const tq::JSON& object);            // "count"
std::optional<tq::Date> creationDate(const tq::JSON& object);  // sa "CreationDate"
const tq::JSON* deleted(const tq::JSON& object);               // "deleted"
const tq::JSON* duration(const tq::JSON& object);              // sa "Duration"
// "path" when present (as text), else built from parentPath and name: "/name" when parentPath
// is exactly "/", otherwise "parentPath/name", each part printed with "%@".
std::optional<std::string> fullPath(const tq::JSON& object);
const tq::JSON* genre(const tq::JSON& object);             // sa "Genre"
const tq::JSON* geoLatitude(const tq::JSON& object);       // sa "GeoLatitude"
const tq::JSON* geoLongitude(const tq::JSON& object);      // sa "GeoLongitude"
const tq::JSON* height(const tq::JSON& object);            // sa "Height"
const tq::JSON* itemuid(const tq::JSON& object);           // "itemuid"
const tq::JSON* locationCountry(const tq::JSON& object);   // sa "LocationCountry"
const tq::JSON* locationLocality(const tq::JSON& object);  // sa "LocationLocality"
const tq::JSON* locationRegion(const tq::JSON& object);    // sa "LocationRegion"
const tq::JSON* mimeType(const tq::JSON& object);          // sa "MimeType", else "mimeType"
std::string name(const tq::JSON& object);                  // "name", else "filename", "%@"
// "parentPath" when present (as text), else "path" without its last component; nil when
// neither is present.
std::optional<std::string> parentPath(const tq::JSON& object);
const tq::JSON* size(const tq::JSON& object);                    // "size"
std::optional<tq::Date> timelineDate(const tq::JSON& object);    // sa "TimelineDate"
std::string titleValue(const tq::JSON& object);                  // sa "Title", "%@"
const tq::JSON* version(const tq::JSON& object);                 // "version"
std::optional<tq::Date> versionCreated(const tq::JSON& object);  // "versionCreated"
const tq::JSON* width(const tq::JSON& object);                   // sa "Width"
// True when the text of "contentToken" is not empty.
bool file(const tq::JSON& object);
std::string extension(const tq::JSON& object);  // pathExtension of name()
const tq::JSON* uri(const tq::JSON& object);    // "uri"
// sa "Tags" as text: a text unchanged, another value as its compact JSON text; nil when absent
// or null.
std::optional<std::string> tags(const tq::JSON& object);
bool immutable(const tq::JSON& object);  // "immutable", booleanValue

// Every attribute of the object, converted: the one reading of a resource object that the
// records, the item tree and the store share.
TQResourceValues resourceValues(const tq::JSON& object);

}  // namespace NSDictionary_TQResource
