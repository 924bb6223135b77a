// The account endpoints of the stand-in cloud service: GET /cloud/1/account and
// GET /cloud/1/lcid?id=<id>. Both want "Authorization: Bearer <token>" with a non-empty token
// (401 otherwise). Tests seed what they answer through server.state<AccountState>().
#pragma once

#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "testserver/RouteSupport.h"
#include "testserver/TestServer.h"

namespace testserver {

class AccountState {
 public:
  // The answer of /cloud/1/account.
  nlohmann::ordered_json account() const;
  void setAccount(nlohmann::ordered_json account);

  // The "lcid" answered for an id: the one set here, else "LCID-" followed by the id.
  std::string lcidFor(const std::string& id) const;
  void setLCID(const std::string& id, std::string lcid);

 private:
  mutable std::mutex mutex_;
  nlohmann::ordered_json account_ = {{"id", "account-1"},
                                     {"alias", "alias@example.test"},
                                     {"usage", {{"quota", 5368709120}, {"quotaUsed", 1073741824}}}};
  std::map<std::string, std::string> lcids_;
};

void installAccountRoutes(TestServer& server);

}  // namespace testserver
