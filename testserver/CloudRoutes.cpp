#include "testserver/CloudRoutes.h"

#include "testserver/AccountRoutes.h"
#include "testserver/FileRoutes.h"
#include "testserver/MetadataRoutes.h"
#include "testserver/OAuthRoutes.h"

namespace testserver {

void installCloudRoutes(TestServer& server) {
  installOAuthRoutes(server);
  installAccountRoutes(server);
  installMetadataRoutes(server);
  installFileRoutes(server);
}

}  // namespace testserver
