// TQGetPlaylistAPIResponseOperation: reads a playlist listing inside a batch, exactly as the
// single listing reads it: for status 200, one TQPlaylist per definition of the answer; nothing
// for any other status.
#pragma once

#include <memory>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAnswers.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"

class TQGetPlaylistAPIResponseOperation
    : public TQParsingResponseOperation<std::shared_ptr<TQPlaylist>, &TQPlaylistAnswers::playlists,
                                        200> {};
