// TQCreateContactAPI: POST <base>/cloud/1/contacts with the contact body of its
// TQCreateContactAPIParams; the server answers 201 with the new contact's "id" and "version".
// Runs on the default session; its handler runs on that session's delegate queue.
#pragma once

#include "QuenlarCloudAPI/API/Contact_API/TQContactBodyAPI.h"

class TQCreateContactAPI : public TQContactBodyAPI {
 public:
  using TQContactBodyAPI::TQContactBodyAPI;

  void prepareQuery() override;
};
