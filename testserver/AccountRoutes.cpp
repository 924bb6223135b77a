#include "testserver/AccountRoutes.h"

#include <utility>

#include "testserver/RouteSupport.h"

namespace testserver {
nlohmann::ordered_json AccountState::account() const {
  std::lock_guard lock(mutex_);
  return account_;
}

void AccountState::setAccount(nlohmann::ordered_json account) {
  std::lock_guard lock(mutex_);
  account_ = std::move(account);
}

std::string AccountState::lcidFor(const std::string& id) const {
  std::lock_guard lock(mutex_);
  const auto found = lcids_.find(id);
  return found != lcids_.end() ? found->second : "LCID-" + id;
}

void AccountState::setLCID(const std::string& id, std::string lcid) {
  std::lock_guard lock(mutex_);
  lcids_[id] = std::move(lcid);
}

void installAccountRoutes(TestServer& server) {
  auto& state = server.state<AccountState>();
  server.route("GET", "/cloud/1/account",
               [&state](const httplib::Request& request, httplib::Response& response) {
                 if (authorised(request, response)) {
                   answerJSON(response, 200, state.account());
                 }
               });
  server.route(
      "GET", "/cloud/1/lcid",
      [&state](const httplib::Request& request, httplib::Response& response) {
        if (!authorised(request, response)) {
          return;
        }
        if (!request.has_param("id") || request.get_param_value("id").empty()) {
          answerJSON(response, 400, {{"error", "id required"}});
          return;
        }
        answerJSON(response, 200, {{"lcid", state.lcidFor(request.get_param_value("id"))}});
      });
}

}  // namespace testserver
