// TQGetPlaylistAPIResponseOperation: reads a playlist listing inside a batch (the photo albums):
// for status 200, one TQAlbum per definition of the answer, read as the single listing reads its
// playlists; nothing for any other status.
#pragma once

#include <memory>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAnswers.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"

class TQGetPlaylistAPIResponseOperation
    : public TQParsingResponseOperation<std::shared_ptr<TQAlbum>, &TQPlaylistAnswers::albums, 200> {
};
