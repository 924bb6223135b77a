// The cloud service's endpoints on a TestServer. Each endpoint family lives in a file of its own,
// <Family>Routes.cpp, with one function that registers its routes, declared here and called from
// installCloudRoutes(). Families keep the state they share in TestServer::state<T>(), so tests
// can seed and inspect it.
#pragma once

#include "testserver/TestServer.h"

namespace testserver {

// Registers every endpoint family's routes on `server`.
void installCloudRoutes(TestServer& server);

}  // namespace testserver
