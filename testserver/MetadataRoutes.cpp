#include "testserver/MetadataRoutes.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "testserver/AccountRoutes.h"
#include "testserver/ResourceTree.h"
#include "testserver/RouteSupport.h"

namespace testserver {
namespace {

constexpr std::string_view kMetadataPrefix = "/cloud/1/metadata";

bool flag(const httplib::Request& request, const char* key) {
  const std::string value = request.get_param_value(key);
  return value == "1" || value == "true" || value == "YES";
}

// "name+asc" arrives as "name asc" once the query's "+" has been read as a space.
void readSort(const std::string& sort, ListingQuery& query) {
  const auto separator = sort.find_last_of("+ ");
  if (separator == std::string::npos) {
    query.sortKey = sort;
    return;
  }
  query.sortKey = sort.substr(0, separator);
  query.sortAscending = sort.substr(separator + 1) != "desc";
}

}  // namespace

void installMetadataRoutes(TestServer& server) {
  auto& tree = server.state<ResourceTree>();
  server.route(
      "GET", "/cloud/1/metadata(/.*)?",
      [&tree](const httplib::Request& request, httplib::Response& response) {
        if (bearerToken(request).empty()) {
          answerJSON(response, 401, {{"error", "invalid_token"}});
          return;
        }
        ListingQuery query;
        query.path = request.path.substr(kMetadataPrefix.size());
        query.includeDeleted = flag(request, "include_deleted");
        readSort(request.get_param_value("sort"), query);
        query.filter = request.get_param_value("filter");
        const auto page = countParameter(request, "page", 0);
        const auto start = countParameter(request, "start", 0);
        const auto count = countParameter(request, "count", 0);
        if (!page || !start || !count ||
            (!query.filter.empty() && query.filter != "file" && query.filter != "folder")) {
          answerJSON(response, 400, {{"error", "bad query"}});
          return;
        }
        query.page = *page;
        query.start = *start;
        query.count = *count;
        auto listing = tree.listing(query);
        if (!listing) {
          answerJSON(response, 404, {{"error", "not found"}, {"path", query.path}});
          return;
        }
        answerJSON(response, 200, {{"folder", std::move(*listing)}});
      });
}

}  // namespace testserver
