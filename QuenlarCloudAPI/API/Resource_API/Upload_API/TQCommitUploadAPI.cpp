#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQCommitUploadAPI.h"

#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPIParams.h"

void TQCommitUploadAPI::prepareQuery() {
  const auto params = validatedParams<TQUploadAPIParams>();
  setRequestMethod("POST");
  setRequestURLString(params->commitUrl);
  setRequestHeaders(
      {{"Authorization", "Bearer " + params->accessToken}, {"Content-Type", "application/json"}});
}
