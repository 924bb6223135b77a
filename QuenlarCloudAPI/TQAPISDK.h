// TQAPISDK: the facade, the host's one entry into the library. One per process
// (sharedInstance(), never destroyed). It holds the sign-in state and the list of live calls, and
// offers one method per server operation.
//
// Every operation returns at once: it checks the parameter record, makes the call, registers it
// on the list of live calls and starts it on the caller's thread (a bad record raises TQException
// out of the method, before anything is registered or sent), and reports later through the
// host's handler on the main queue: the model object (nil unless the status was the operation's
// expected one) first, the call's TQAPIQueryResponse last. A call the host cancels with
// cancelAPI() never reports, even when its report was already queued on the main queue.
//
// Every member is safe from any thread.
//
// Each operation's call and record classes have headers of their own (the record's header is the
// one a host includes to fill it); this header declares them only. The roads every operation
// takes are templates defined in TQAPISDKRoads.h, which the facade's family files include.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistCompletionHandlers.h"  // playlists block
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSCompletionHandler.h"  // file ops
#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQDownloadProgressHandler.h"  // downloads
#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetadataCompletionHandler.h"
#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchCompletionHandlers.h"
#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQTrashCompletionHandler.h"  // trash block
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadProgressHandler.h"  // upload block
#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQVirtualFolderCompletionHandler.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/TQAPIArray.h"
#include "QuenlarCloudAPI/API/TQAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/API/TQCallStart.h"
#include "QuenlarCloudAPI/API/Token_API/TQAuthCompletionHandler.h"           // sign-in block
#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIBatchOutcome.h"  // batch road
#include "QuenlarCloudAPI/Helper_Class/TQListHelpers.h"                      // list helpers
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/SignInUI.h"  // sign-in block
#include "QuenlarCloudAPI/Platform/URL.h"

// The call and record classes of the blocks below, by block.
// Account information, LCID and the batch road.
class TQAccountInfo;
class TQAccountInfoAPI;
class TQAPIOperationQueue;
class TQAuthenticationResponse;
class TQClientCredentials;
class TQLCIDAPI;
class TQLCIDAPIParams;
// Sign-in.
class TQAuthByTokenCredentials;
class TQAuthorizationViewController;
class TQRefreshTokenAPI;
// Keychain items.
class KeychainItemWrapper;
// Metadata listing.
class TQMetaDataAPI;
class TQMetaDataAPIParams;
// Upload.
class TQUploadAPIParams;
// Virtual folders.
class TQCreateVFolderAPI;
class TQCreateVFolderAPIParams;
class TQRenameVFolderAPI;
class TQRenameVFolderAPIParams;
class TQDeleteVFolderAPI;
class TQDeleteVFolderAPIParams;
// Trash.
class TQGetTrashAPIParams;
// Download and thumbnails.
class TQFilesAPI;
class TQFilesAPIParams;
class TQThumbnailAPI;
class TQThumbnailAPIParams;
// File operations.
class TQCreateFolderAPI;
class TQCreateFolderAPIParams;
class TQCopyAPI;
class TQMoveAPI;
class TQRenameAPI;
class TQFOPSAPIParams;
class TQDeleteAPI;
class TQDeleteParams;
class TQRestoreAPI;
class TQRestoreAPIParams;
// Playlists.
class TQAddPlaylistItemsAPI;
class TQAddPlaylistItemsAPIParams;
class TQCreatePlaylistAPI;
class TQCreateplaylistAPIParams;
class TQDeletePlaylistAPI;
class TQDeletePlaylistAPIParams;
class TQDeletePlaylistItemAPI;
class TQDeletePlaylistItemAPIParams;
class TQEditPlaylistAPI;
class TQEditPlaylistAPIParams;
class TQEditPlaylistDefinitionAPI;
class TQEditPlaylistDefinitionAPIParams;
class TQGetPlaylistAPI;
class TQGetPlaylistAPIParams;
class TQGetPlaylistContentAPI;
class TQGetPlaylistContentAPIParams;
class TQGetPlaylistDefinitionAPI;
class TQGetPlaylistDefinitionAPIParams;
class TQGetPlaylistItemsAPI;
class TQGetPlaylistItemsAPIParams;
// Shares.
class TQCreateShareAPI;
class TQCreateShareAPIParams;
class TQDeleteShareAPI;
class TQDeleteShareAPIParams;
class TQGetShareAPI;
class TQGetShareAPIParams;
class TQShare;
class TQShareItem;

// Host handlers of the operations of this file's families.
using TQLCIDCompletionHandler = std::function<void(
    const std::optional<tq::JSON>& lcid, const std::shared_ptr<TQAPIQueryResponse>& response)>;
using TQAccountInfoCompletionHandler =
    std::function<void(const std::shared_ptr<TQAccountInfo>& accountInfo,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;
// The handler of an operation that hands on the response alone.
using TQAPIResponseHandler =
    std::function<void(const std::shared_ptr<TQAPIQueryResponse>& response)>;

// The listing or the new share (nullptr unless the status was the expected one), then the
// outcome.
using TQShareCompletionHandler = std::function<void(
    const std::shared_ptr<TQShare>& share, const std::shared_ptr<TQAPIQueryResponse>& response)>;
using TQShareItemCompletionHandler =
    std::function<void(const std::shared_ptr<TQShareItem>& shareItem,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;

// Tags and favorites: their call and record classes, and their host handlers.
class TQTags;
class TQGetTagsAPI;
class TQGetTagsAPIParams;
class TQSetTagsAPI;
class TQSetTagsAPIParams;
class TQDeleteTagsAPI;
class TQDeleteTagsAPIParams;
class TQGetFavoritesAPIParams;
class TQSetFavoritesAPI;
class TQSetFavoritesAPIParams;
class TQDeleteFavoritesAPI;
class TQDeleteFavoritesAPIParams;
// The tags read or set (nullptr unless the status was 200), then the outcome.
using TQTagsCompletionHandler = std::function<void(
    const std::shared_ptr<TQTags>& tags, const std::shared_ptr<TQAPIQueryResponse>& response)>;
// Every virtual folder's favorites (nullopt: nil), then the combined response.
using TQFavoritesCompletionHandler =
    std::function<void(const std::optional<std::vector<std::shared_ptr<TQMetadata>>>& favorites,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;

// Contacts: their call and record classes, and their host handlers.
class TQContact;
class TQContactAPI;
class TQContactAPIParams;
class TQCreateContactAPI;
class TQCreateContactAPIParams;
class TQDeleteContactAPI;
class TQDeleteContactAPIParams;
class TQUpdateContactAPI;
class TQUpdateContactAPIParams;
// Receives a contact listing once, on the main queue: the contacts (nullopt unless the first page
// was answered 200) and the response.
using TQContactsCompletionHandler =
    std::function<void(const std::optional<std::vector<std::shared_ptr<TQContact>>>& contacts,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;
// Receives a created or updated contact (nullptr unless the expected status came) and the response.
using TQContactCompletionHandler =
    std::function<void(const std::shared_ptr<TQContact>& contact,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;

// Media collections block below: its records and host handlers. Artists, genres and audio albums
// are handed over as TQMediaListCompletionHandler<TQArtist>, <TQGenre> and <TQAlbum>.
class TQAlbum;
class TQArtist;
class TQGenre;
// Receives the photo albums once, on the main queue: the albums (nullopt unless every listing
// succeeded), then the combined response.
using TQAlbumsCompletionHandler =
    std::function<void(const std::optional<std::vector<std::shared_ptr<TQAlbum>>>& albums,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;

class TQAPISDK : public std::enable_shared_from_this<TQAPISDK> {
  struct Key {};

 public:
  explicit TQAPISDK(Key /*key*/) {}
  TQAPISDK(const TQAPISDK&) = delete;
  TQAPISDK& operator=(const TQAPISDK&) = delete;

  // The one facade, made on first use from any thread. Making it touches no session, file,
  // keychain item or store.
  static std::shared_ptr<TQAPISDK> sharedInstance();

  // ---- Sign-in state ----

  // The tokens in use (nullptr before sign-in); replaced as a whole.
  std::shared_ptr<TQAuthenticationResponse> authenticationCredetials() const;
  void setAuthenticationCredetials(std::shared_ptr<TQAuthenticationResponse> credentials);
  // The host's client credentials (nullptr before sign-in); replaced as a whole.
  std::shared_ptr<TQClientCredentials> clientCredentials() const;
  void setClientCredentials(std::shared_ptr<TQClientCredentials> credentials);
  // The client ID of clientCredentials(); nullopt while there are none.
  std::optional<std::string> fetchClientID() const;

  // ---- Live calls and session events ----

  // The list of live calls; the same object for the facade's whole life.
  TQAPIArray& apiArray() { return apiArray_; }

  // The live call that owns task `apiID` of the session named `sessionID` (nullopt or "" for the
  // default session), or nullptr.
  std::shared_ptr<TQAPI> getAPIWithID(uint64_t apiID,
                                      const std::optional<std::string>& sessionID) const;

  // Keeps the system's background-session completion handler until the background session has
  // no task left; it then runs on the main queue. The session identifier is not looked at.
  void handleCompletionHandler(std::function<void()> completionHandler,
                               const std::optional<std::string>& sessionID);

  // ---- The single-call road, shared by every single-call operation (TQAPISDKRoads.h) ----

  // Runs on the delegate queue with the outcome; answers what to run on the main queue (nothing
  // when empty).
  using AnswerHandler =
      std::function<std::function<void()>(const std::shared_ptr<TQAPIQueryResponse>&)>;

  // Copies the facade's access token into a resource record (the host's record is changed), makes
  // a `Call` from it, prepares it (raising out of here on a bad record), registers it and starts
  // it as `start` says. When the answer arrives, `parse(response)` runs on the delegate queue for
  // the expected status of a completed transfer only (other statuses, a transfer that failed,
  // or a throwing parse, give a default Model: nil, or an empty list);
  // then, on the main queue, the call leaves the list and `hostHandler(model, response)` runs,
  // unless the call was cancelled first. Answers the started call.
  template <class Call, class Parse>
  std::shared_ptr<Call> startSingleCall(
      std::shared_ptr<TQAPIParams> params, int expectedStatus, Parse parse,
      std::function<void(const std::invoke_result_t<Parse&, const TQAPIQueryResponse&>&,
                         const std::shared_ptr<TQAPIQueryResponse>&)>
          hostHandler,
      const TQCallStart& start = TQCallStart::data());

  // The same road for an operation that hands on the response alone and tests no status.
  template <class Call>
  std::shared_ptr<Call> startSingleCall(std::shared_ptr<TQAPIParams> params,
                                        TQAPIResponseHandler hostHandler,
                                        const TQCallStart& start = TQCallStart::data());

  // What both roads stand on: registers the prepared call and starts it as `start` says;
  // `onAnswer` runs on the delegate queue, and what it answers runs on the main queue after the
  // call left the list, once the delivery was claimed (claimDelivery(): a call cancelled first,
  // from whatever thread, reports nothing).
  void registerAndStart(const std::shared_ptr<TQAPI>& call, const TQCallStart& start,
                        AnswerHandler onAnswer);

  // Hands what to run on the main queue for a call started by registerAndStartDeferred(). Meant
  // to be called once, from any thread; a deliverer never called reports nothing.
  using Deliverer = std::function<void(std::function<void()> deliver)>;
  using DeferredAnswerHandler =
      std::function<void(const std::shared_ptr<TQAPIQueryResponse>&, Deliverer deliverer)>;

  // registerAndStart() for an operation whose report waits for more than its call's answer (later
  // calls, or work on another queue): `onAnswer` runs on the delegate queue with the outcome and a
  // deliverer; what it hands the deliverer, whenever it does, runs on the main queue after the
  // call left the list, once the delivery was claimed. Until then the call stays on the list of
  // live calls, and a cancelAPI() from any thread keeps it from reporting.
  void registerAndStartDeferred(const std::shared_ptr<TQAPI>& call, const TQCallStart& start,
                                DeferredAnswerHandler onAnswer);

  // Copies the facade's access token into `params` when it is a resource record.
  void copyAccessToken(TQAPIParams* params) const;

  // ---- Account information and LCID ----

  // The "lcid" member of the answer for `params->ID` (status 200), else nullopt.
  std::shared_ptr<TQLCIDAPI> fetchLCID(std::shared_ptr<TQLCIDAPIParams> params,
                                       TQLCIDCompletionHandler completionHandler);
  // The account's quota, usage, identifier and alias (status 200), else nullptr.
  std::shared_ptr<TQAccountInfoAPI> fetchAccountInfoWithCompletionHandler(
      TQAccountInfoCompletionHandler completionHandler);

  // ==== Metadata listing (API/Resource_API/Metadata_API/, TQAPISDK_Metadata.cpp) ====

  // One folder of the account as `params` asks (an empty path lists the account root): its own
  // attributes, its sub-folders and its files. The facade's access token is copied into `params`;
  // a bad field raises the missing-parameter exception, a nullptr record the nil-argument
  // exception, out of here with nothing sent. The handler receives the listing read from the
  // answer's "folder" object for status 200 (one with no fields and no children when the answer
  // has none), nullptr for any other status, a transport failure or a body that is not JSON.
  std::shared_ptr<TQMetaDataAPI> fetchMetadata(std::shared_ptr<TQMetaDataAPIParams> params,
                                               TQMetadataCompletionHandler completionHandler);

  // The root listing that every virtual-folder fan-out starts from: fetchMetadata() with a new,
  // empty record. The listing's subFolders() are the virtual folders.
  std::shared_ptr<TQMetaDataAPI> fetchRootMetadata(TQMetadataCompletionHandler completionHandler);

  // ==== End of metadata listing ====

  // ==== Upload (API/Resource_API/Upload_API/, Helper_Class/TQFileSplitter.h,
  // TQAPISDK_Upload.cpp) ====

  // Stores the local file at `readFromPath` in the folder `params->path` under `params->name`.
  // Raises TQException "NSInvalidArgumentException" out of here, with nothing sent or reported,
  // when no one is signed in ("access_token <REQUIRED PARAMETER> is missing."), when there is no
  // regular file at the path ("Local Path Invalid<REQUIRED PARAMETER> is missing."), for a nullptr
  // record (the nil-argument exception), and for an empty path or name or an empty file (the
  // missing-parameter exception with "path", "name" or "size").
  //
  // Then reports Processing (0, 0) on the caller's thread, hashes the file (SHA-256) on the global
  // queue, and on the main queue takes a road: chunkUploadFile() when the file is larger than
  // 10,485,760 bytes or the host set `params->chunk`, nonChunkUploadFile() otherwise. The facade
  // sets the record's accessToken, size, checkSum, uploadUrl and (chunked) commitUrl; it never
  // changes `chunk`. The host gets no call object: a logout, which cancels every live call, ends
  // the upload without a report. Once the final 201 has given the stored file, the local file is
  // deleted, unless it changed since the upload began.
  //
  // `progress` runs on the main queue (but the first report), in this order: Processing (0, 0);
  // Started (0, 0) once the bytes are about to go; Uploading (bytes sent, bytes in all) as they go;
  // for a chunked upload Processing (bytes sent, size) when the last chunk has arrived. None comes
  // after the outcome. `completionHandler` runs once on the main queue with the stored file
  // (nullptr unless the final call answered 201 with it) and the outcome of the call that ended
  // the upload, carrying an error for a failure of the upload's own: a file that cannot be read or
  // split, an intent answer without usable URLs (or not https from an https server), a 201 without
  // the stored file. On any failure the local file stays and no chunk file is left behind.
  void uploadFile(std::shared_ptr<TQUploadAPIParams> params, const std::string& readFromPath,
                  TQUploadProgressHandler progress, TQMetadataCompletionHandler completionHandler);

  // The two roads, for a record whose checksum is set (from any thread; a bad record raises as
  // above). The whole-file road: an intent saying "chunk" "false", then one POST of the file
  // carrying the checksum. The chunked road: an intent saying "chunk" "true", then the file split
  // into chunk files of 5,242,880 bytes in a directory of this upload's own in Documents, posted
  // side by side (the last chunk first), then the commit.
  void nonChunkUploadFile(const std::shared_ptr<TQUploadAPIParams>& params,
                          const std::string& readFromPath, TQUploadProgressHandler progress,
                          TQMetadataCompletionHandler completionHandler);
  void chunkUploadFile(const std::shared_ptr<TQUploadAPIParams>& params,
                       const std::string& readFromPath, TQUploadProgressHandler progress,
                       TQMetadataCompletionHandler completionHandler);

  // ==== End of upload ====

  // ==== Virtual folders (API/Resource_API/VirtualFolder_API/, TQAPISDK_VirtualFolders.cpp) ====
  // A virtual folder is a top-level folder of the account, one of the root listing's
  // subFolders(). Each operation copies the facade's access token into the host's record and
  // raises out of here for a nullptr record (nil-argument exception) or a bad field
  // (missing-parameter exception), with nothing sent; answers the started call.

  // Creates the virtual folder `params->folderName`. The handler receives the new folder read
  // from the answer's "folder" object for status 201 (a record with no fields when the answer
  // has none), nullptr for any other status, a transport failure or a body that is not JSON.
  std::shared_ptr<TQCreateVFolderAPI> createVirtualFolder(
      std::shared_ptr<TQCreateVFolderAPIParams> params,
      TQVirtualFolderCompletionHandler completionHandler);

  // Renames the virtual folder `params->src` to `params->target`. The handler receives the
  // renamed folder as createVirtualFolder() does, for status 200.
  std::shared_ptr<TQRenameVFolderAPI> renameVirtualFolder(
      std::shared_ptr<TQRenameVFolderAPIParams> params,
      TQVirtualFolderCompletionHandler completionHandler);

  // Deletes the virtual folder `params->folderName`, sending `params->force`. The handler
  // receives the response whatever its status.
  std::shared_ptr<TQDeleteVFolderAPI> deleteVirtualFolder(
      std::shared_ptr<TQDeleteVFolderAPIParams> params, TQAPIResponseHandler completionHandler);

  // ==== End of virtual folders ====

  // ==== Trash (API/Resource_API/Trash_API/, TQAPISDK_Trash.cpp) ====
  // The server keeps the trash per virtual folder. Both operations read the root listing first,
  // then run one call per virtual folder side by side as one batch, and report once on the main
  // queue. They hand back no call or batch: they cannot be cancelled. Restoring trashed items is
  // a file operation.
  //
  // Outcomes that end either operation early: a root listing that did not answer 200 with a
  // listing (its response is handed on), and a root listing without virtual folders (nothing is
  // sent; nullopt items and a nullptr response, or a nullptr response alone).

  // Lists the trash of every virtual folder. `params` is checked here, on the caller's thread,
  // before anything is sent (its virtualfolder aside, which the facade fills per folder): a
  // nullptr record or a bad field raises out of here. Each folder's call gets a copy of the record
  // with that folder's name; one whose copy fails its check (a folder whose name is empty) ends the
  // listing with nullopt items and the root listing's response, nothing sent.
  //
  // The items gathered are each folder's trashed files, then its folders, folder after folder in
  // the order the calls finished. When `params` asks for a page (page > 0, or else start > 0 used
  // as the page number) with a count, they are sorted by name (the user's locale, ignoring case)
  // and cut to that page (nullopt past the last page); otherwise they stay in that order. The
  // handler receives them when the combined response (the first that is no success, else the
  // first) is a success, nullopt otherwise, and the combined response.
  void fetchTrash(const std::shared_ptr<TQGetTrashAPIParams>& params,
                  TQTrashCompletionHandler completionHandler);

  // Empties the trash of every virtual folder for good. Raises the missing-parameter exception
  // out of here, nothing sent, while nobody is signed in. The handler receives the combined
  // response of the per-folder calls, whatever their statuses; a virtual folder whose name is empty
  // ends the operation with the root listing's response, nothing emptied.
  void deleteTrashWithCompletionHandler(TQAPIResponseHandler completionHandler);

  // ==== End of trash ====

  // ==== Download and thumbnails (Files_API/, Thumbnail_API/, TQAPISDK_Files.cpp) ====
  // Each runs as a download task on the background session. The body, whatever the status, lands
  // in a download file in Documents named by the URL's last path component (the file's name, or
  // the content token), which the response's downloadedURL() names and which is deleted when the
  // call object goes away: a host that keeps it moves or copies it first. While two live calls
  // would take one name, the later one's file gets a free name beside it, so neither replaces nor
  // deletes the other's. Neither tests a status: the handler receives the response alone on the
  // main queue, and the host reads the status from it. The facade's access token is copied into
  // the record; a bad field raises the missing-parameter exception out of here, nothing sent.

  // The bytes of the file at `params->path`. `progressHandler` runs on the main queue with the
  // bytes written so far and the bytes expected (-1 while unknown); never after cancelAPI().
  std::shared_ptr<TQFilesAPI> downloadFile(std::shared_ptr<TQFilesAPIParams> params,
                                           TQDownloadProgressHandler progressHandler,
                                           TQAPICompletionHandler completionHandler);
  // A thumbnail of the file with `params->contentToken`, at the named size or else the given
  // width and height. No progress is reported.
  std::shared_ptr<TQThumbnailAPI> downloadThumbnail(std::shared_ptr<TQThumbnailAPIParams> params,
                                                    TQAPICompletionHandler completionHandler);

  // ==== End of download and thumbnails ====

  // ==== File operations (Resource_API/FileOps_API/, TQAPISDK_FileOps.cpp) ====
  // Single calls on the default session. The facade's access token is copied into the record; a
  // bad field raises the missing-parameter exception, a nullptr record the nil-argument exception,
  // out of here with nothing sent. Handlers run on the main queue after the call left the list of
  // live calls. Those that answer an item build it only for the expected status (nullptr for any
  // other status, a transport failure or a body that is not JSON); the rest receive the response
  // alone, whatever its status.

  // A folder `params->name` in the folder `params->path`: for status 201, the item read from the
  // answer's "folder" member (one with empty fields when the answer has none).
  std::shared_ptr<TQCreateFolderAPI> createFolder(std::shared_ptr<TQCreateFolderAPIParams> params,
                                                  TQResourceCompletionHandler completionHandler);
  // Copies or moves `params->source` to `params->target`: for status 200, the item read from the
  // answer's "folder" member (one with empty fields when the answer has none).
  std::shared_ptr<TQCopyAPI> copy(std::shared_ptr<TQFOPSAPIParams> params,
                                  TQResourceCompletionHandler completionHandler);
  std::shared_ptr<TQMoveAPI> move(std::shared_ptr<TQFOPSAPIParams> params,
                                  TQResourceCompletionHandler completionHandler);
  // Renames `params->source` to `params->target`: for status 200, the item read from the answer's
  // first member, whatever its key ("file" or "folder"); nullptr when the answer has no member.
  std::shared_ptr<TQRenameAPI> rename(std::shared_ptr<TQFOPSAPIParams> params,
                                      TQResourceCompletionHandler completionHandler);
  // Moves `params->path` to the trash, or with `params->purge` deletes it for good.
  std::shared_ptr<TQDeleteAPI> deletePath(std::shared_ptr<TQDeleteParams> params,
                                          TQAPICompletionHandler completionHandler);
  // Brings the trashed items at `params->paths` back.
  std::shared_ptr<TQRestoreAPI> restore(std::shared_ptr<TQRestoreAPIParams> params,
                                        TQAPICompletionHandler completionHandler);

  // ==== End of file operations ====

  // ==== Full sync, search and media lists (API/Resource_API/FullView_API/, Search_API/,
  // TQAPISDK_Sync.cpp, TQAPISDK_LocalSearch.cpp) ====

  // Brings the local store up to date with the account: the root listing, then one fullview call
  // per virtual folder, in one batch, each sending the ETag stored for its folder; each 200 answer
  // is merged into the store in one write transaction (TQFullViewMerge), any other answer changes
  // nothing. The handler runs once on the main queue with the root listing's response when that
  // is not a 200 answer, else with the batch's combined response (the first that is not 200, 201
  // or 412, else the first), or nullptr when the account has no virtual folder. Without an access
  // token the missing-parameter exception ("access_token") raises out of here, nothing sent.
  // Merges of a sync that began before a logout write nothing.
  void doFullSyncWithCompletionHandler(TQAPIResponseHandler completionHandler);

  // Answers `params` from the local store after a full sync. The facade's access token is copied
  // into `params` and the record checked at once (a bad one raises the missing-parameter
  // exception, a nullptr one the nil-argument exception, out of here, before the sync). When the
  // sync's combined response has status 200 or 412, the stored rows that the query matches
  // (TLBRCloudSDKSyncPredicate, ignoring case and diacritics; a query that cannot be read at all
  // matches every row) are fetched on the global queue, sorted by the last key of `sortDict` when
  // `sort` is given (else "name"), ascending only when `sortDict` says so, then paged in memory:
  // page `page`, or page `start` when no page is given, of `count` rows when a page and a count
  // are given. A sort key that is no attribute gives no rows and one line in the system log. The
  // handler runs once on the main queue with the rows' identifiers (empty for no match; nullopt
  // when the sync failed or the page lies past the last) and the sync's combined response.
  void search(const std::shared_ptr<TQSearchAPIParams>& params,
              TQSearchCompletionHandler completionHandler);

  // The account's photos ("contentType:image*"), videos ("video*"), audio files ("audio*") and
  // documents ("application/*"), as records bound to their stored rows, by name from A to Z:
  // search() with that query after a full sync. The handler runs once on the main queue with the
  // list (never nullopt: empty when the search found nothing or the sync failed) and the
  // search's response. Without an access token the missing-parameter exception raises out of
  // here.
  void getPhotosWithCompletionHandler(TQMediaListCompletionHandler<TQPhoto> completionHandler);
  void getVideosWithCompletionHandler(TQMediaListCompletionHandler<TQVideo> completionHandler);
  void getAudiosWithCompletionHandler(TQMediaListCompletionHandler<TQAudio> completionHandler);
  void getDocumentsWithCompletionHandler(TQMediaListCompletionHandler<TQFile> completionHandler);

 private:
  // A media list: search() for the content type, then one `Item` bound to each row found.
  template <class Item>
  void getMediaList(std::string_view contentType,
                    TQMediaListCompletionHandler<Item> completionHandler);

 public:
  // ==== End of full sync, search and media lists ====

  // ==== Playlists (API/Playlist_API/, Model/TQPlaylist.h, TQAPISDK_Playlist.cpp) ====
  // Each operation copies the facade's access token into `params` and raises the missing-parameter
  // exception (a nullptr record: the nil-argument exception) out of here, with nothing sent, for
  // a bad record. Its handler runs on the main queue with the records read from an answer of the
  // expected status, or nil (nullptr, nullopt) for any other status or a transport failure. Such
  // an answer without the members read gives an empty list, or a playlist whose fields are all nil
  // but its name, "(null)".

  // A page of the account's playlists (status 200): one per definition of the answer, in answer
  // order; an empty list when the answer holds none.
  std::shared_ptr<TQGetPlaylistAPI> getPlaylist(std::shared_ptr<TQGetPlaylistAPIParams> params,
                                                TQPlaylistsCompletionHandler completionHandler);
  // One playlist's definition (status 200).
  std::shared_ptr<TQGetPlaylistDefinitionAPI> getPlaylistDefinition(
      std::shared_ptr<TQGetPlaylistDefinitionAPIParams> params,
      TQPlaylistCompletionHandler completionHandler);
  // A new playlist (status 201).
  std::shared_ptr<TQCreatePlaylistAPI> createPlaylist(
      std::shared_ptr<TQCreateplaylistAPIParams> params,
      TQPlaylistCompletionHandler completionHandler);
  // A playlist with a new name and type (status 200).
  std::shared_ptr<TQEditPlaylistAPI> editPlaylist(std::shared_ptr<TQEditPlaylistAPIParams> params,
                                                  TQPlaylistCompletionHandler completionHandler);
  // A playlist with a new definition (status 200); empty `paths` leave its members as they are.
  std::shared_ptr<TQEditPlaylistDefinitionAPI> editPlaylistDefinition(
      std::shared_ptr<TQEditPlaylistDefinitionAPIParams> params,
      TQPlaylistCompletionHandler completionHandler);
  // Deletes a playlist; the handler receives the outcome whatever its status.
  std::shared_ptr<TQDeletePlaylistAPI> deletePlaylist(
      std::shared_ptr<TQDeletePlaylistAPIParams> params, TQAPIResponseHandler completionHandler);
  // A page of a playlist's items as resource records (status 200), in answer order.
  std::shared_ptr<TQGetPlaylistItemsAPI> getPlaylistItems(
      std::shared_ptr<TQGetPlaylistItemsAPIParams> params,
      TQPlaylistItemsCompletionHandler completionHandler);
  // Adds files to a playlist; the added items as resource records (status 200).
  std::shared_ptr<TQAddPlaylistItemsAPI> addPlaylistItems(
      std::shared_ptr<TQAddPlaylistItemsAPIParams> params,
      TQPlaylistItemsCompletionHandler completionHandler);
  // Downloads one item's content to a file in Documents named after the item UID (see
  // TQDownloadFile), whatever the status: an error answer's body is the file then. The handler
  // receives the outcome, whose downloadedURL() names the file; the file is deleted with the call
  // object, so a host that keeps the content moves it inside the handler or holds the call.
  std::shared_ptr<TQGetPlaylistContentAPI> getPlaylistContent(
      std::shared_ptr<TQGetPlaylistContentAPIParams> params,
      TQAPIResponseHandler completionHandler);
  // Removes one item from a playlist; the handler receives the outcome whatever its status.
  std::shared_ptr<TQDeletePlaylistItemAPI> deletePlaylistItem(
      std::shared_ptr<TQDeletePlaylistItemAPIParams> params,
      TQAPIResponseHandler completionHandler);

  // ==== End of playlists ====

  // ==== Shares (API/Share_API/, Model/TQShare.h, TQAPISDK_Share.cpp) ====
  // Each copies the facade's access token into `params` (the host's record changes); a bad field
  // raises the missing-parameter exception, a nullptr record the nil-argument exception, out of
  // here with nothing sent or registered. The handler runs once on the main queue, unless the
  // call was cancelled first.

  // One page of the account's shares. The handler receives, for status 200, the listing read from
  // the answer's "shares" object (one with every field nullopt when the answer lacks it or is not
  // JSON), and nullptr for any other status or a transport failure. The next page's cursor is in
  // the listing's links.
  std::shared_ptr<TQGetShareAPI> fetchShare(std::shared_ptr<TQGetShareAPIParams> params,
                                            TQShareCompletionHandler completionHandler);

  // Creates a share of `params->resources`. The handler receives, for status 201, the new share
  // read from the answer's "share" object (empty fields when the answer lacks it), and nullptr
  // for any other status or a transport failure.
  std::shared_ptr<TQCreateShareAPI> createShare(std::shared_ptr<TQCreateShareAPIParams> params,
                                                TQShareItemCompletionHandler completionHandler);

  // Deletes the share `params->shareUID`. The handler receives the outcome alone, whatever the
  // status: the host reads success from it.
  std::shared_ptr<TQDeleteShareAPI> deleteShare(std::shared_ptr<TQDeleteShareAPIParams> params,
                                                TQAPIResponseHandler completionHandler);

  // ==== End of shares ====

  // ==== Tags (API/Resource_API/Tags_API/, Model/TQTags.h, TQAPISDK_Tags.cpp) ====
  // Each operation copies the facade's access token into the host's record, then checks it: a bad
  // field raises the missing-parameter exception, a nullptr record the nil-argument exception, out
  // of here with nothing sent. Each answers the started call, which the host may cancel.

  // The tags of the resource at `params->path`. The handler receives a TQTags for status 200,
  // whatever the body (tags() nullopt when it holds no "Tags"), nullptr for any other status or a
  // transport failure.
  std::shared_ptr<TQGetTagsAPI> getTags(std::shared_ptr<TQGetTagsAPIParams> params,
                                        TQTagsCompletionHandler completionHandler);
  // Sets the tags of the resource `params->uri`; the handler receives as for getTags().
  std::shared_ptr<TQSetTagsAPI> setTags(std::shared_ptr<TQSetTagsAPIParams> params,
                                        TQTagsCompletionHandler completionHandler);
  // Removes the tags of the resource `params->uri`; the handler receives the outcome alone,
  // whatever its status.
  std::shared_ptr<TQDeleteTagsAPI> deleteTags(std::shared_ptr<TQDeleteTagsAPIParams> params,
                                              TQAPIResponseHandler completionHandler);

  // ==== End of tags ====

  // ==== Favorites (API/Resource_API/Favorites_API/, TQAPISDK_Favorites.cpp) ====

  // The favorites of the whole account, of the kind `params->favResourceType` asks for. The
  // server lists them one virtual folder at a time, so this runs the root listing, then one
  // listing per virtual folder side by side (`params->virtualFolder` is not used: each folder's
  // copy of the record names the folder).
  //
  // Checked here, on the caller's thread, before anything is sent: a nullptr record raises the
  // nil-argument exception, an empty access token (after the facade's was copied in) the
  // missing-parameter exception. The record is copied then, so later changes to it do not count.
  //
  // The handler runs once on the main queue: with the root listing's outcome and nullopt when the
  // root listing did not answer 200, or when a virtual folder's record is refused (a folder
  // without a name: nothing is sent for any folder, and the refusal is written to the system
  // log); with nullopt and nullptr when the account has no virtual folder; otherwise with every
  // folder's favorites (within a folder files before folders, the folders in the order they
  // answered) when the combined response is a success, else nullopt, and the combined response.
  // Nothing is handed back to cancel; logout cancels the calls, and the handler then never runs.
  void getFavorites(const std::shared_ptr<TQGetFavoritesAPIParams>& params,
                    TQFavoritesCompletionHandler completionHandler);
  // Marks the resources `params->uri` as favorites; the handler receives the outcome alone,
  // whatever its status. Checked as getTags(); answers the started call.
  std::shared_ptr<TQSetFavoritesAPI> setFavorites(std::shared_ptr<TQSetFavoritesAPIParams> params,
                                                  TQAPIResponseHandler completionHandler);
  // Removes the favorite mark of the resource `params->uri`; as setFavorites().
  std::shared_ptr<TQDeleteFavoritesAPI> deleteFavorites(
      std::shared_ptr<TQDeleteFavoritesAPIParams> params, TQAPIResponseHandler completionHandler);

  // ==== End of favorites ====

  // ==== Contacts (API/Contact_API/, Model/TQContact.h, TQAPISDK_Contacts.cpp) ====
  // Records are read with TQContact::initWithDictionary(); a bad record raises the missing-
  // parameter exception (a nullptr record the nil-argument exception) out of the method, with
  // nothing sent.

  // The page size of the contact listing's page gathering.
  static constexpr int32_t contactPageSize = 200;
  // The most later pages one fetchContacts() asks for (1,000,000 contacts after the first page),
  // however large an "itemcount" the server reports.
  static constexpr int64_t maximumContactLaterPages = 5000;

  // The whole address book in the server's order, by one call with no paging, sort or query. The
  // handler receives the contacts for status 200 (an empty list when the answer holds none),
  // nullopt for any other status or a transport failure.
  std::shared_ptr<TQContactAPI> fetchContactsWithCompletionHandler(
      TQContactsCompletionHandler completionHandler);

  // The contacts `params` asks for. When the record names no page and no count and the first
  // answer's "itemcount" exceeds contactPageSize, the later pages (page 2 onwards, contactPageSize
  // each, with the record's sort and query; at most maximumContactLaterPages) run side by side as
  // one batch started from the delegate queue, and their contacts follow the first page's in page
  // order. The list is then sorted on the global queue as the record's `sort` says (see
  // TQContactSort.h). The handler receives nullopt and the first response when the first page is
  // not answered 200 (nothing more is asked); otherwise the list and the first response, or, after
  // gathering, the combined response of the later pages (a failed page adds no contacts). The
  // returned call stays on the list of live calls until the handler is about to run; cancelling
  // it cancels its later pages, and nothing is delivered.
  std::shared_ptr<TQContactAPI> fetchContacts(std::shared_ptr<TQContactAPIParams> params,
                                              TQContactsCompletionHandler completionHandler);

  // Creates a contact from `params`' contact body. For status 201 the handler receives the contact
  // made of the body sent and the answer's "id" and "version" (each left out when the answer
  // lacks it); nullptr for any other outcome.
  std::shared_ptr<TQCreateContactAPI> createContact(
      std::shared_ptr<TQCreateContactAPIParams> params,
      TQContactCompletionHandler completionHandler);

  // Replaces contact `params->contactID` (version `params->version`) with `params`' contact body.
  // For status 200 the handler receives the contact made as createContact() makes it, with the
  // answer's version; nullptr for any other outcome.
  std::shared_ptr<TQUpdateContactAPI> updateContact(
      std::shared_ptr<TQUpdateContactAPIParams> params,
      TQContactCompletionHandler completionHandler);

  // Deletes contact `params->contactID`; the handler receives the response, whatever its status.
  std::shared_ptr<TQDeleteContactAPI> deleteContact(
      std::shared_ptr<TQDeleteContactAPIParams> params, TQAPIResponseHandler completionHandler);

  // ==== End of contacts ====

  // ==== Media collections (Model/TQAlbum.h, TQArtist.h, TQGenre.h, TQAPISDK_Collections.cpp) ====
  // Each raises the missing-parameter exception ("access_token") out of here, with nothing sent,
  // while nobody is signed in. Photo albums and the collections of the audio list hand nothing
  // back to cancel.

  // The server's photo albums: its playlists of the types "image", "video" and "image-video",
  // listed side by side as one batch, with no sort and no paging. The handler runs once on the
  // main queue, after the last listing has answered, with the albums of every listing (the
  // listings in the order they finished, each in answer order) when the combined response (the
  // first that is no success, else the first) is a success, else nullopt; then that response.
  void getPhotoAlbumsWithCompletionHandler(TQAlbumsCompletionHandler completionHandler);

  // The server's audio playlists: getPlaylist() with the type "music". Answers its call.
  std::shared_ptr<TQGetPlaylistAPI> getAudioPlaylistsWithCompletionHandler(
      TQPlaylistsCompletionHandler completionHandler);

  // The distinct artists, genres or album names of the audio list
  // (getAudiosWithCompletionHandler(), which syncs first), in the order they first appear in it,
  // that is by file name from A to Z. Values compare exactly: letter case counts, and "" is a
  // value of its own; a file without one, or with the text "(null)", adds nothing. The handler
  // runs once on the main queue with the records (empty, never nullopt, when there is no audio
  // file or the sync failed) and the audio list's response.
  void getArtistsWithCompletionHandler(TQMediaListCompletionHandler<TQArtist> completionHandler);
  void getGenresWithCompletionHandler(TQMediaListCompletionHandler<TQGenre> completionHandler);
  // Local albums, without UID, each made from {"name": <value>}.
  void getAudioAlbumsWithCompletionHandler(TQMediaListCompletionHandler<TQAlbum> completionHandler);

  // ==== End of media collections ====

  // ==== Batch road and list helpers (APIOperation/, Helper_Class/TQListHelpers.h) ====

  // The batch road, shared by every batch operation (TQAPISDKRoads.h): runs the prepared
  // `calls` side by side as one batch, each started as `start(call)` says (a data task when
  // `start` is empty), and reads each outcome with the call class's response operation
  // (`Call::ResponseOperation`, a TQResponseOperationOf<Model>), the same parse the single-call
  // road uses. Once every call has answered, `completionHandler` runs on the main queue with the
  // results, every outcome and the combined response, unless the batch was cancelled first
  // (cancelAllOperations() on the answer). A batch without calls completes at once the same way,
  // with empty arrays and no combined response. Answers the batch.
  template <class Call>
  std::shared_ptr<TQAPIOperationQueue> startBatch(
      const std::vector<std::shared_ptr<Call>>& calls,
      TQAPIBatchCompletionHandler<TQBatchModelOf<Call>> completionHandler,
      std::function<TQCallStart(const Call&)> start = nullptr);

  // The same road from parameter records: for each, copies the facade's access token into it,
  // makes a `Call` and prepares it. Every call is prepared before any is added, so a bad record
  // raises TQException out of here with nothing registered or sent.
  template <class Call, class Params>
  std::shared_ptr<TQAPIOperationQueue> startBatchWithParameters(
      const std::vector<std::shared_ptr<Params>>& paramsList,
      TQAPIBatchCompletionHandler<TQBatchModelOf<Call>> completionHandler);

  // List helpers: they work on lists in memory, touch no facade state and may run on any thread.
  // Both sorts answer nullopt (nil) for an empty key path and raise TQException
  // "NSUnknownKeyException" for a key the element type's key-value table lacks.

  // Sorted by the value at `keyPath`, text compared by the user's locale ignoring letter case;
  // ascending when `ascending` is true.
  template <TQKeyValueCoding T>
  static std::optional<std::vector<std::shared_ptr<T>>> sortedArrayWithSelector(
      const std::vector<std::shared_ptr<T>>& list, std::string_view keyPath, bool ascending) {
    return TQListHelpers::sortedArrayWithSelector(list, keyPath, ascending);
  }

  // Sorted by the value at `keyPath` in each kind's own order, in the order opposite to the flag:
  // the largest value first when `ascending` is true.
  template <TQKeyValueCoding T>
  static std::optional<std::vector<std::shared_ptr<T>>> sortedArray(
      const std::vector<std::shared_ptr<T>>& list, std::string_view keyPath, bool ascending) {
    return TQListHelpers::sortedArray(list, keyPath, ascending);
  }

  // Page `page` (from 1) of `count` elements; nullopt (nil) for a page or count below 1 and past
  // the last page.
  template <class E>
  static std::optional<std::vector<E>> paginatedArray(const std::vector<E>& list, int64_t page,
                                                      int64_t count) {
    return TQListHelpers::paginatedArray(list, page, count);
  }

  // ==== End of batch road and list helpers ====

  // ==== Keychain items (Keychain/KeychainItemWrapper.h, TQAPISDK_Keychain.cpp) ====
  // Three stores, each made on its first read unless the host set one, and then kept until the
  // host sets another, so a later change of keychain ID moves no item. Keychain failures are
  // logged, never thrown.

  // Identifier of the keychain-ID item.
  static constexpr char keychainIDKey[] = "TQKeychainID";

  // Store of the credentials item, named by the keychain ID of clientCredentials() at its first
  // read; making it sets the item's accessibility to when-unlocked, which writes the item. Raises
  // TQException "NSInvalidArgumentException" while no keychain ID is known and no store was made.
  std::shared_ptr<KeychainItemWrapper> keychainWrapper();
  // Store of the keychain-ID item ("TQKeychainID").
  std::shared_ptr<KeychainItemWrapper> keyChainIDWrapper();
  // Store of the device-ID item: "DeviceID-" followed by the keychain ID of clientCredentials() at
  // its first read, or by "(null)" when none is known then.
  std::shared_ptr<KeychainItemWrapper> deviceIDKeyChainWrapper();

  // Replaces a store: its getter answers `store` from then on, and every later read or write of
  // that item goes to it. A nullptr store is made afresh, as above, on the next read. Safe from
  // any thread, against the getters too; work that already holds the replaced store finishes on
  // it.
  void setKeychainWrapper(std::shared_ptr<KeychainItemWrapper> store);
  void setKeyChainIDWrapper(std::shared_ptr<KeychainItemWrapper> store);
  void setDeviceIDKeyChainWrapper(std::shared_ptr<KeychainItemWrapper> store);

  // Writes the credentials item: "access_token", "expires_in", "refresh_token", "scope" and
  // "token_type" from the token answer, then "client_id", "client_secret" and "redirect_url" from
  // clientCredentials(). A member the answer lacks (or holds as null), or a client field that is
  // unknown, keeps the value stored before; one never stored is left out (client fields: empty
  // text). Writes nothing when the text is unchanged. Raises as keychainWrapper().
  void saveAuthCredentialsToKeychain(const tq::JSON& tokenAnswer);
  // The credentials item's JSON object; nullopt when its data are not a JSON object (an empty or
  // absent item included). Raises as keychainWrapper().
  std::optional<tq::JSON> retrieveAuthenticationCredetialsFromKeyChain();

  // Sets the keychain-ID item's account to `keychainID`.
  void saveKeychainID(const std::string& keychainID);
  // The keychain-ID item's account; empty text when nothing is stored.
  std::string retrieveKeychainID();

  // The device ID: the device-ID item's account when non-empty, else a new upper-case UUID text,
  // stored and answered. Made once even when several threads ask at once.
  std::string getDeviceID();
  // Deletes the device-ID item; the next getDeviceID() makes a new one.
  void resetDeviceIDFromKeychain();

 private:
  std::mutex keychainStoresMutex_;  // guards the three stores below
  std::shared_ptr<KeychainItemWrapper> keychainWrapper_;
  std::shared_ptr<KeychainItemWrapper> keyChainIDWrapper_;
  std::shared_ptr<KeychainItemWrapper> deviceIDKeyChainWrapper_;
  std::mutex credentialsItemMutex_;  // one read-merge-write of the credentials item at a time
  std::mutex deviceIDMutex_;         // one read-or-create of the device ID at a time

 public:
  // ==== End of keychain items ====

  // ==== Sign-in state, refresh and logout (TQAPISDK_SignIn.cpp) ====
  // Signed in means that authenticationCredetials() holds a non-empty access token; expiry is
  // never computed (an expired token shows as a 401, which renews the tokens and resends the
  // call). The credentials and keychain-ID items are the state's lasting copy.
  //
  // Sign-in pages: before the first sign-in the host registers its scene factory with
  // tq::setSignInSceneFactory() (the web view and busy indicator of one page); each sign-in method
  // makes a TQAuthorizationViewController over a new scene, hands it to the host's presenter and
  // loads it. Bad inputs (no credentials or presenter, a missing client ID, client secret, redirect
  // URL that makes no URL, keychain ID where tokens are kept, partner token or MDN; no scene
  // factory) raise TQException out of the sign-in method, before anything is shown.
  //
  // Tokens that a code exchange or a refresh brings are kept only when no logout came after the
  // sign-in or refresh began and the call was not cancelled; logout and keeping tokens never
  // interleave.

  // YES when tokens are in memory; otherwise restores the tokens and client fields from the
  // keychain (named through the keychain-ID item; nothing changes when that is empty) and answers
  // whether they hold an access token.
  bool isUserLoggedIn();

  // Takes the credentials and restores the stored tokens. With an access token, calls the handler
  // at once on the caller's thread with (tokens, nullptr, nullptr); otherwise shows the sign-in
  // page. After the page reports, a successful exchange's tokens and the keychain ID are kept,
  // the page is dismissed on the main queue, and the handler runs in the dismissal's completion
  // (tokens nullptr when none were kept).
  void authenticateClient(const std::shared_ptr<TQClientCredentials>& credentials,
                          const std::shared_ptr<tq::SignInPresenter>& fromViewController,
                          TQAuthCompletionHandler completionHandler);
  // Always shows the partner-token sign-in page; otherwise as authenticateClient().
  void authByToken(const std::shared_ptr<TQAuthByTokenCredentials>& credentials,
                   const std::shared_ptr<tq::SignInPresenter>& fromViewController,
                   TQAuthCompletionHandler completionHandler);
  // Shows the sign-in page with the host's handler itself, which runs where the page reports (the
  // main queue after an error redirect or a cancel, the delegate queue after a code exchange).
  // Keeps nothing and dismisses nothing: the host does.
  void presentOAuthViewController(const std::shared_ptr<tq::SignInPresenter>& viewController,
                                  const std::shared_ptr<TQClientCredentials>& clientCredentials,
                                  TQAuthCompletionHandler completionHandler);

  // Sends the refresh-token grant with the client credentials and refresh token in memory (a
  // missing one raises the missing-parameter exception out of here, nothing sent). A 200 answer
  // with an access token replaces the tokens in memory and in the credentials item (a member the
  // answer lacks keeps its value). The handler then runs on the main queue with the tokens as they
  // are and the refresh's outcome. One refresh runs at a time (TQAPISDK_Refresh.cpp): while one
  // is under way, this joins it and answers its call. Cancelling that call ends the refresh for
  // everyone waiting on it; its handler then never runs.
  std::shared_ptr<TQRefreshTokenAPI> refreshSessionWithCompletionHandler(
      TQRefreshSessionCompletionHandler completionHandler);

  // The renewal a call asks for when it was answered 401 having sent `sentAccessToken`.
  // `answer` runs once on the main queue with the access token to resend with, or nullopt when
  // the session could not be renewed. A token that differs from the one sent (renewed since the
  // call went out) is answered at once; otherwise the call waits for the refresh under way, or
  // starts one.
  void renewSessionAfterUnauthorized(
      const std::string& sentAccessToken,
      std::function<void(const std::optional<std::string>& accessToken)> answer);

  // Ends every sign-in of authenticateClient() and authByToken() still under way, signed in or
  // not: its page reports as if cancelled (tokens nullptr), its code exchange is cancelled, and
  // no token answer of it is kept. Then answers NO when isUserLoggedIn() answers NO, clearing
  // nothing. Otherwise resets the credentials and keychain-ID items (the device ID stays),
  // empties the local store, forgets the tokens and client credentials, cancels every live call,
  // and answers YES. Sends no revoke. Emptying the store never waits for an unsaved context (see
  // TQPersistentStore::deleteAllObjects); should even a fresh store file not be made, logout still
  // answers YES and the library runs on without a store, so no row of the account is read again.
  bool logout();

  // The access token when isUserLoggedIn() answers YES, else nullopt.
  std::optional<std::string> fetchAccessToken();

 private:
  bool restoreSignInLocked();  // isUserLoggedIn's restoring, under signInMutex_
  std::shared_ptr<TQAuthorizationViewController> makeSignInPage(
      const std::shared_ptr<TQClientCredentials>& clientCredentials,
      const std::shared_ptr<TQAuthByTokenCredentials>& authByTokenCredentials);
  static void showSignInPage(const std::shared_ptr<tq::SignInPresenter>& presenter,
                             const std::shared_ptr<TQAuthorizationViewController>& page);
  TQAuthCompletionHandler signInHandler(const std::shared_ptr<TQClientCredentials>& credentials,
                                        std::weak_ptr<tq::SignInPresenter> presenter,
                                        uint64_t epoch, TQAuthCompletionHandler hostHandler);
  // Shows the page of a sign-in that keeps its tokens, begun in `epoch`, where logout can end it.
  void startSignIn(const std::shared_ptr<TQAuthorizationViewController>& page,
                   const std::shared_ptr<TQClientCredentials>& credentials,
                   const std::shared_ptr<tq::SignInPresenter>& presenter, uint64_t epoch,
                   TQAuthCompletionHandler hostHandler);
  bool keepSignInTokens(const std::shared_ptr<TQAuthenticationResponse>& tokens,
                        const TQClientCredentials& credentials, uint64_t epoch,
                        const std::shared_ptr<TQAPIQueryResponse>& response);
  // Keeps the tokens of a refresh answer; answers whether it did.
  bool keepRefreshedTokens(const TQAPI& call, uint64_t epoch, const TQAPIQueryResponse& response);

  // The refresh under way and everyone waiting on it (TQAPISDK_Refresh.cpp).
  struct RefreshFlight;
  using RefreshWaiter =
      std::function<void(bool renewed, const std::shared_ptr<TQAPIQueryResponse>& response)>;
  // Adds `waiter` to the refresh under way, or starts one (raising TQException, with nothing
  // changed, when the grant cannot be prepared). Answers the refresh's call.
  std::shared_ptr<TQRefreshTokenAPI> joinRefresh(RefreshWaiter waiter);
  // Ends `flight`: every waiter runs on the main queue with `renewed` and `response`.
  void endRefresh(const std::shared_ptr<RefreshFlight>& flight, bool renewed,
                  const std::shared_ptr<TQAPIQueryResponse>& response);
  // Logout's step on the local store: every resource and ETag row deleted.
  static void emptyLocalStore();

  // Serialises restoring, keeping tokens and logout; held while the keychain items are written.
  std::mutex signInMutex_;
  // Counts logouts: a token answer is kept only in the epoch its call was sent in.
  uint64_t signInEpoch_ = 0;
  // Pages of the sign-ins started since the last logout, held weakly: the presenter owns them.
  std::vector<std::weak_ptr<TQAuthorizationViewController>> signInPages_;

  // Guards refreshFlight_. Taken before signInMutex_ and stateMutex_, never inside them.
  std::mutex refreshMutex_;
  std::shared_ptr<RefreshFlight> refreshFlight_;

 public:
  // ==== End of sign-in ====

 private:
  // Copies the facade's access token into the record, makes a `Call` from it and prepares it.
  template <class Call>
  std::shared_ptr<Call> prepareCall(std::shared_ptr<TQAPIParams> params) const;

  // The calls of a virtual-folder fan-out: one `Call` per sub-folder of the root listing `root`
  // (none for nullptr), each prepared from the record `makeRecord(folderName)` makes (an absent
  // name reads ""). This runs on the main queue, where nothing may raise: when one record is
  // refused, none is sent, a line naming `operation` goes to the system log, and the answer is
  // nullopt.
  template <class Call, class MakeRecord>
  std::optional<std::vector<std::shared_ptr<Call>>> prepareFanOut(const TQMetadata* root,
                                                                  std::string_view operation,
                                                                  MakeRecord makeRecord) const;

  static void reportModelFailure(const char* what);
  // Main queue: runs `deliver` unless the batch is gone or was cancelled, also after the block was
  // queued.
  static void deliverBatchOnMainQueue(std::shared_ptr<TQAPIOperationQueue> batch,
                                      std::function<void()> deliver);

  mutable std::mutex stateMutex_;
  std::shared_ptr<TQAuthenticationResponse> authenticationCredetials_;
  std::shared_ptr<TQClientCredentials> clientCredentials_;
  TQAPIArray apiArray_;
};
