#include "testserver/CloudRoutes.h"

#include "testserver/AccountRoutes.h"
#include "testserver/MetadataRoutes.h"
#include "testserver/OAuthRoutes.h"
#include "testserver/PlaylistRoutes.h"
#include "testserver/ShareRoutes.h"

namespace testserver {

void installCloudRoutes(TestServer& server) {
  installOAuthRoutes(server);
  installAccountRoutes(server);
  installMetadataRoutes(server);
  installPlaylistRoutes(server);
  installShareRoutes(server);
}

}  // namespace testserver
