// TQDeleteContactAPI: DELETE <base>/cloud/1/contacts/<contactID>, no body. The identifier is
// placed in the path as the host wrote it, but for what would move the request elsewhere (see
// NSString_HelperMethods::urlPathSegmentsEncoded): a contact named ".." is that contact, never
// the collection above it. Runs on the default session; its handler runs on that session's
// delegate queue. Its record is a TQDeleteContactAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQDeleteContactAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
