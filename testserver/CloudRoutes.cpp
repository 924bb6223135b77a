#include "testserver/CloudRoutes.h"

#include "testserver/AccountRoutes.h"
#include "testserver/FavoriteRoutes.h"
#include "testserver/MetadataRoutes.h"
#include "testserver/OAuthRoutes.h"
#include "testserver/TagRoutes.h"

namespace testserver {

void installCloudRoutes(TestServer& server) {
  installOAuthRoutes(server);
  installAccountRoutes(server);
  installMetadataRoutes(server);
  installTagRoutes(server);
  installFavoriteRoutes(server);
}

}  // namespace testserver
