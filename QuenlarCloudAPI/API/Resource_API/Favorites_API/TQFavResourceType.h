// TQFavResourceType: which favorites a listing asks each virtual folder for. A plain enumeration
// over a signed 32-bit integer, as hosts pass it: any value fits, and one that
// names no member asks for no kind at all (the server's own default).
#pragma once

#include <cstdint>

// NOLINTNEXTLINE(performance-enum-size): the width is part of the interface.
enum TQFavResourceType : int32_t {
  TQFavResourceTypeFileFolder = 0,  // "type=filefolder": files and folders
  TQFavResourceTypeFile = 1,        // "type=file"
  TQFavResourceTypeFolder = 2,      // "type=folder"
  TQFavResourceTypeImage = 3,       // "filetype=image"
  TQFavResourceTypeMusic = 4,       // "filetype=music"
  TQFavResourceTypeVideo = 5,       // "filetype=video"
  TQFavResourceTypeDocuments = 6,   // "filetype=documents"
};
