// TQFullViewAnswerReader: reads a fullview answer as it streams from its spool, without building
// the whole document: only one resource object at a time is held.
//
// The answer is a JSON object whose "data" member holds "file" and "folder" (resource objects; a
// single object counts as a list of one) and "deleted"."path" (paths; a single path counts as a
// list of one). Each resource object goes to `resource` and each path to `deletedPath`, in the
// order the answer gives them; elements of other kinds, other members and null are passed over.
//
// Stateless; safe from any thread.
#pragma once

#include <functional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQAnswerSpool.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

namespace TQFullViewAnswerReader {

using ResourceHandler = std::function<void(const tq::JSON& object)>;
using PathHandler = std::function<void(std::string path)>;

// Reads the whole answer. False when it is not exactly one well-formed JSON object (nested no
// deeper than TQJSONReading::kMaximumJSONDepth; whitespace may follow it, nothing else, and a NUL
// byte nowhere) or the spool could not be read whole; what was handed out before then is the
// caller's to discard. Exceptions of the handlers propagate.
bool read(const TQAnswerSpool& spool, const ResourceHandler& resource,
          const PathHandler& deletedPath);

}  // namespace TQFullViewAnswerReader
