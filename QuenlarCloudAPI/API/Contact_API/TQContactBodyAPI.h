// TQContactBodyAPI: what the create and update calls share: a request that sends a contact body
// and keeps it (requestDict()) for the facade to build the returned contact from.
#pragma once

#include <mutex>
#include <string>

#include "QuenlarCloudAPI/API/Contact_API/TQCreateContactAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

class TQContactBodyAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The contact body the call sends (a JSON object); null before prepareQuery().
  tq::JSON requestDict() const;

 protected:
  // Sets the method, URL, body (`params`' contact body, compact) and headers "Authorization",
  // "Accept" and "Content-Type".
  void prepareBodyRequest(const TQCreateContactAPIParams& params, std::string method,
                          std::string url);

 private:
  mutable std::mutex requestDictMutex_;
  tq::JSON requestDict_;
};
