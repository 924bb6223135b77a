#include "testserver/CloudRoutes.h"

#include "testserver/AccountRoutes.h"
#include "testserver/MetadataRoutes.h"
#include "testserver/OAuthRoutes.h"
#include "testserver/PlaylistRoutes.h"
#include "testserver/SyncRoutes.h"

namespace testserver {

void installCloudRoutes(TestServer& server) {
  installOAuthRoutes(server);
  installAccountRoutes(server);
  installMetadataRoutes(server);
  installSyncRoutes(server);
  installPlaylistRoutes(server);
}

}  // namespace testserver
