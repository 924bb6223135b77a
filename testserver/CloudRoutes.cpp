#include "testserver/CloudRoutes.h"

#include "testserver/AccountRoutes.h"
#include "testserver/FileRoutes.h"
#include "testserver/MetadataRoutes.h"
#include "testserver/OAuthRoutes.h"
#include "testserver/PlaylistRoutes.h"

namespace testserver {

void installCloudRoutes(TestServer& server) {
  installOAuthRoutes(server);
  installAccountRoutes(server);
  installMetadataRoutes(server);
  installFileRoutes(server);
  installPlaylistRoutes(server);
}

}  // namespace testserver
