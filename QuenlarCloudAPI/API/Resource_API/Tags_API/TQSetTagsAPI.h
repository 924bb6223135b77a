// TQSetTagsAPI: PUT <base>/cloud/1/tags with a JSON body, setting one resource's tags. Runs on the
// default session; its handler runs on that session's delegate queue. Its record is a
// TQSetTagsAPIParams. Single calls only: it has no response operation.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQSetTagsAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQSetTagsAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The compact body {"Tags": <tags>, "uri": <uri>, "createVersion": <true|false>}, values as the
  // host wrote them.
  void prepareQuery() override;
};
