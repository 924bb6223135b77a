#include "testserver/CloudRoutes.h"

#include "testserver/AccountRoutes.h"
#include "testserver/ContactRoutes.h"
#include "testserver/FavoriteRoutes.h"
#include "testserver/FileRoutes.h"
#include "testserver/MetadataRoutes.h"
#include "testserver/OAuthRoutes.h"
#include "testserver/PlaylistRoutes.h"
#include "testserver/ShareRoutes.h"
#include "testserver/SyncRoutes.h"
#include "testserver/TagRoutes.h"
#include "testserver/TrashRoutes.h"
#include "testserver/UploadRoutes.h"
#include "testserver/VirtualFolderRoutes.h"

namespace testserver {

void installCloudRoutes(TestServer& server) {
  installOAuthRoutes(server);
  installAccountRoutes(server);
  installMetadataRoutes(server);
  installUploadRoutes(server);
  installVirtualFolderRoutes(server);
  installTrashRoutes(server);
  installFileRoutes(server);
  installSyncRoutes(server);
  installPlaylistRoutes(server);
  installShareRoutes(server);
  installTagRoutes(server);
  installFavoriteRoutes(server);
  installContactRoutes(server);
}

}  // namespace testserver
