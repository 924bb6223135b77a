// TQFullViewAPI: GET <base>/cloud/1/fullview?virtualfolder=<name>, one virtual folder's resources
// and deleted paths, sent with "X-Header-ETag: <eTag>" when the record holds an ETag (the server
// then answers the changes since, or 412 for none). Runs on the default session; its handler runs
// on that session's delegate queue. Its record is a TQFullViewAPIParams.
//
// The body of a 200 answer, which can list a whole folder, is kept in an anonymous temporary file
// (answerSpool()) rather than in the outcome: the outcome of a 200 answer has neither
// responseData nor jsonResponse. Answers of any other status are kept and parsed as every call's
// are. In a batch, TQFullViewAPIResponseOperation merges the spooled answer into the local store.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQAnswerSpool.h"
#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/APIOperation/Operations/FullView/TQFullViewAPIResponseOperation.h"

class TQFullViewAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;
  using ResponseOperation = TQFullViewAPIResponseOperation;

  // The request header that carries the client's ETag, and the answer's header with the new one
  // (read without regard to case).
  static constexpr const char* kRequestETagHeader = "X-Header-ETag";
  static constexpr const char* kAnswerETagHeader = "X-Header-Etag";

  void prepareQuery() override;
  // TQFullViewAPIResponseOperation, reading this call's spool.
  TQAPIResponseOperationFactory apiResponseOperationClass() const override;
  std::shared_ptr<TQFullViewAPIResponseOperation> makeResponseOperation() const;

  // The store epoch the merge is made for: the one read when the full sync began, so a logout
  // since then leaves the store as the logout left it. Unset: the store's epoch when the response
  // operation is made. Set it before the call goes into a batch.
  void setStoreEpoch(uint64_t epoch);
  std::optional<uint64_t> storeEpoch() const;

  // The spooled body of the 200 answer; nullptr before one arrived (or when no temporary file
  // could be made: the merge then has nothing to read).
  std::shared_ptr<const TQAnswerSpool> answerSpool() const;

 protected:
  void didReceiveResponseData(TQAPIQueryResponse& response, const std::string& piece) override;

 private:
  mutable std::mutex stateMutex_;
  std::shared_ptr<TQAnswerSpool> spool_;
  bool spoolUnavailable_ = false;
  std::optional<uint64_t> storeEpoch_;
};
