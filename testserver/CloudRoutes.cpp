#include "testserver/CloudRoutes.h"

#include "testserver/AccountRoutes.h"
#include "testserver/FileRoutes.h"
#include "testserver/FavoriteRoutes.h"
#include "testserver/ContactRoutes.h"
#include "testserver/MetadataRoutes.h"
#include "testserver/OAuthRoutes.h"
#include "testserver/PlaylistRoutes.h"
#include "testserver/ShareRoutes.h"
#include "testserver/TagRoutes.h"
#include "testserver/TrashRoutes.h"
#include "testserver/VirtualFolderRoutes.h"
#include "testserver/SyncRoutes.h"

namespace testserver {

void installCloudRoutes(TestServer& server) {
  installOAuthRoutes(server);
  installAccountRoutes(server);
  installMetadataRoutes(server);
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
