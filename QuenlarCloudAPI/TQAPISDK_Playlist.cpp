// The facade's playlist operations: each is one call on the single-call road, read by the
// playlist answers' readers.
#include <optional>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Playlist_API/TQAddPlaylistItemsAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQAddPlaylistItemsAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQCreatePlaylistAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQCreateplaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistItemAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistItemAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistDefinitionAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistDefinitionAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistContentAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistContentAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistDefinitionAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistDefinitionAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistItemsAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistItemsAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAnswers.h"
#include "QuenlarCloudAPI/Model/TQPlaylist.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kReadStatus = 200;
constexpr int kCreatedStatus = 201;

// A list reader answering a list for the expected status, so that any other outcome (the
// default) is nil rather than an empty list.
template <auto Read>
auto someList(const TQAPIQueryResponse& response) {
  return std::optional(Read(response));
}

}  // namespace

std::shared_ptr<TQGetPlaylistAPI> TQAPISDK::getPlaylist(
    std::shared_ptr<TQGetPlaylistAPIParams> params,
    TQPlaylistsCompletionHandler completionHandler) {
  return startSingleCall<TQGetPlaylistAPI>(std::move(params), kReadStatus,
                                           someList<TQPlaylistAnswers::playlists>,
                                           std::move(completionHandler));
}

std::shared_ptr<TQGetPlaylistDefinitionAPI> TQAPISDK::getPlaylistDefinition(
    std::shared_ptr<TQGetPlaylistDefinitionAPIParams> params,
    TQPlaylistCompletionHandler completionHandler) {
  return startSingleCall<TQGetPlaylistDefinitionAPI>(
      std::move(params), kReadStatus, TQPlaylistAnswers::playlist, std::move(completionHandler));
}

std::shared_ptr<TQCreatePlaylistAPI> TQAPISDK::createPlaylist(
    std::shared_ptr<TQCreateplaylistAPIParams> params,
    TQPlaylistCompletionHandler completionHandler) {
  return startSingleCall<TQCreatePlaylistAPI>(
      std::move(params), kCreatedStatus, TQPlaylistAnswers::playlist, std::move(completionHandler));
}

std::shared_ptr<TQEditPlaylistAPI> TQAPISDK::editPlaylist(
    std::shared_ptr<TQEditPlaylistAPIParams> params,
    TQPlaylistCompletionHandler completionHandler) {
  return startSingleCall<TQEditPlaylistAPI>(
      std::move(params), kReadStatus, TQPlaylistAnswers::playlist, std::move(completionHandler));
}

std::shared_ptr<TQEditPlaylistDefinitionAPI> TQAPISDK::editPlaylistDefinition(
    std::shared_ptr<TQEditPlaylistDefinitionAPIParams> params,
    TQPlaylistCompletionHandler completionHandler) {
  return startSingleCall<TQEditPlaylistDefinitionAPI>(
      std::move(params), kReadStatus, TQPlaylistAnswers::playlist, std::move(completionHandler));
}

std::shared_ptr<TQDeletePlaylistAPI> TQAPISDK::deletePlaylist(
    std::shared_ptr<TQDeletePlaylistAPIParams> params, TQAPIResponseHandler completionHandler) {
  return startSingleCall<TQDeletePlaylistAPI>(std::move(params), std::move(completionHandler));
}

std::shared_ptr<TQGetPlaylistItemsAPI> TQAPISDK::getPlaylistItems(
    std::shared_ptr<TQGetPlaylistItemsAPIParams> params,
    TQPlaylistItemsCompletionHandler completionHandler) {
  return startSingleCall<TQGetPlaylistItemsAPI>(std::move(params), kReadStatus,
                                                someList<TQPlaylistAnswers::items>,
                                                std::move(completionHandler));
}

std::shared_ptr<TQAddPlaylistItemsAPI> TQAPISDK::addPlaylistItems(
    std::shared_ptr<TQAddPlaylistItemsAPIParams> params,
    TQPlaylistItemsCompletionHandler completionHandler) {
  return startSingleCall<TQAddPlaylistItemsAPI>(std::move(params), kReadStatus,
                                                someList<TQPlaylistAnswers::addedItems>,
                                                std::move(completionHandler));
}

std::shared_ptr<TQGetPlaylistContentAPI> TQAPISDK::getPlaylistContent(
    std::shared_ptr<TQGetPlaylistContentAPIParams> params, TQAPIResponseHandler completionHandler) {
  return startSingleCall<TQGetPlaylistContentAPI>(std::move(params), std::move(completionHandler),
                                                  TQCallStart::download(nullptr));
}

std::shared_ptr<TQDeletePlaylistItemAPI> TQAPISDK::deletePlaylistItem(
    std::shared_ptr<TQDeletePlaylistItemAPIParams> params, TQAPIResponseHandler completionHandler) {
  return startSingleCall<TQDeletePlaylistItemAPI>(std::move(params), std::move(completionHandler));
}
