#include "testserver/CloudRoutes.h"

namespace testserver {

void installCloudRoutes(TestServer& server) {
  // One call per endpoint family, e.g. installAccountRoutes(server);
  static_cast<void>(server);
}

}  // namespace testserver
