// TQContactAPI: GET <base>/cloud/1/contacts[?<query>], one page of the cloud address book (the
// whole of it, or what the server gives, when the record names no page). Runs on the default
// session; its handler runs on that session's delegate queue. Its record is a TQContactAPIParams.
//
// The call the facade's fetchContacts() returns may start the later pages of a large address book
// as one batch on its behalf; cancelling it (cancelAPI(), or a logout) cancels that batch too.
#pragma once

#include <memory>
#include <mutex>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/APIOperation/Operations/Contact_Operation/TQContactAPIResponseOperation.h"

class TQAPIOperationQueue;

class TQContactAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;
  using ResponseOperation = TQContactAPIResponseOperation;

  // Query pairs, each only when it says something: "sort" (percent-encoded, so its "+" goes out
  // as %2B), "page" (page > 0), "count" (count > 0) and "query" (percent-encoded), in that order.
  // Headers "Authorization" and "Accept"; no body.
  void prepareQuery() override;

  // TQContactAPIResponseOperation.
  TQAPIResponseOperationFactory apiResponseOperationClass() const override;

  // Cancels the call, then the later pages it started, if any.
  void cancelAPI() override;

  // Ties the batch of later pages to this call, so that cancelling the call cancels the batch.
  // A call cancelled already cancels the batch at once.
  void attachLaterPages(const std::shared_ptr<TQAPIOperationQueue>& laterPages);

 private:
  std::mutex laterPagesMutex_;
  std::weak_ptr<TQAPIOperationQueue> laterPages_;
};
