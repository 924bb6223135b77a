// TQUpdateContactAPI: PUT <base>/cloud/1/contacts/<contactID> with the contact body of its
// TQUpdateContactAPIParams and the version it replaces; the server answers 200 with the new
// "version". The identifier is placed in the path as the host wrote it, but for what would move
// the request elsewhere (see NSString_HelperMethods::urlPathSegmentsEncoded). Runs on the default
// session; its handler runs on that session's delegate queue.
#pragma once

#include "QuenlarCloudAPI/API/Contact_API/TQContactBodyAPI.h"

class TQUpdateContactAPI : public TQContactBodyAPI {
 public:
  using TQContactBodyAPI::TQContactBodyAPI;

  void prepareQuery() override;
};
