#include "testserver/CloudRoutes.h"

#include "testserver/AccountRoutes.h"
#include "testserver/ContactRoutes.h"
#include "testserver/MetadataRoutes.h"
#include "testserver/OAuthRoutes.h"

namespace testserver {

void installCloudRoutes(TestServer& server) {
  installOAuthRoutes(server);
  installAccountRoutes(server);
  installMetadataRoutes(server);
  installContactRoutes(server);
}

}  // namespace testserver
