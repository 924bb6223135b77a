// TQDeleteAPI: DELETE <base>/cloud/1/fops/delete?path=<path>&purge=<true|false>, which moves an
// item to the trash or purges it. No body. Runs on the default session; its handler runs on that
// session's delegate queue. Its record is a TQDeleteParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQDeleteParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQDeleteAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The path is percent-encoded as a query value ("/" kept, so "&", "=", "+", "#" and blanks
  // cannot end the value or the query).
  void prepareQuery() override;
};
