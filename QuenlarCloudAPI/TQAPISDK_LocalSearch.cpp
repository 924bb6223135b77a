// The facade's local search and the media lists built on it: a full sync, then a fetch of the
// local store on the global queue.
#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQLocalSearch.h"
#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchAPIParams.h"
#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncPredicate.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_SearchQueryHelperMethods.h"
#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQFile.h"
#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "QuenlarCloudAPI/Model/TQVideo.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/NotificationCenter.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

using Identifiers = std::vector<TQManagedObjectID>;

// The content types of the audio list, in the search query syntax.
constexpr std::string_view kAudioContentTypes = "audio*";

// What the search reads of the host's record, taken when the host calls: the record is the host's
// to change again once the call has returned.
struct LocalQuery {
  std::string query;
  // Set when the library built the store predicate itself; it then stands for the translation of
  // `query`.
  std::optional<tq::PredicatePtr> predicate;
  std::string sort;
  std::map<std::string, bool> sortDict;
  int32_t page = 0;
  int32_t start = 0;
  int32_t count = 0;
};

void postSearchMessage(const tq::PredicatePtr& predicate) {
  if (!tq::NotificationCenter::defaultCenter().hasObservers(TQAPIInfoMessageLogNotification)) {
    return;
  }
  std::string message = "Search predicate :" + (predicate ? predicate->description() : "(null)");
  tq::mainQueue().async([message = std::move(message)] {
    tq::NotificationCenter::defaultCenter().post(TQAPIInfoMessageLogNotification,
                                                 std::any(message));
  });
}

std::shared_ptr<TQManagedObjectContext> backgroundContext() {
  return TQPersistentStore::sharedPersistentStore()->backgroundManagedObjectContext();
}

// The page number the local search asks for: `page`, or `start` when no page is given (the local
// search reads `start` as a page number); 0 for the whole list.
int64_t pageNumberOf(const LocalQuery& query) {
  if (query.page > 0 && query.start >= 0) {
    return query.page;
  }
  if (query.page == 0 && query.start > 0) {
    return query.start;
  }
  return 0;
}

// True when the fetch itself reads only the page (see fetchRequestOf): a page of a long list then
// costs a page, not the list.
bool pagedByFetch(const LocalQuery& query) { return pageNumberOf(query) > 0 && query.count > 0; }

// Global queue: true when some stored row matches the request, whatever its range. False when a
// sort key is no attribute: that fetch answers no rows.
bool anyRowMatches(const TQFetchRequest& request) {
  for (const auto& sort : request.sortDescriptors) {
    if (TQAttributeRegistry::findAttribute(request.entityName, sort.key) == nullptr) {
      return false;
    }
  }
  TQFetchRequest first = request;
  first.sortDescriptors.clear();
  first.fetchLimit = 1;
  first.fetchOffset = 0;
  return !backgroundContext()->executeFetchRequestForObjectIDs(first, nullptr).empty();
}

// Global queue: the page the local search hands back, from the rows the request fetched: for a
// count and page number, 1-based pages of `count` rows, nil past the last page, and an empty list
// (never nil) when nothing matches; otherwise every row.
template <class Row>
std::optional<std::vector<Row>> pageOf(std::vector<Row> rows, const LocalQuery& query,
                                       const TQFetchRequest& request) {
  const int64_t page = pageNumberOf(query);
  if (pagedByFetch(query)) {
    // An empty page past the first is nil unless the list itself is empty.
    if (rows.empty() && page > 1 && anyRowMatches(request)) {
      return std::nullopt;
    }
    return rows;
  }
  if (rows.empty() || page == 0 || query.count == 0) {
    return rows;
  }
  return TQAPISDK::paginatedArray(rows, page, query.count);
}

// Global queue: the fetch of the stored rows the query matches, sorted, and only those of the
// page it asks for.
TQFetchRequest fetchRequestOf(const LocalQuery& query) {
  TQFetchRequest request;
  request.entityName = TQDBResource::entityName();
  request.predicate = query.predicate
                          ? *query.predicate
                          : TLBRCloudSDKSyncPredicate::predicateFromString(query.query, false);
  postSearchMessage(request.predicate);
  const std::string key = !query.sort.empty() && !query.sortDict.empty()
                              ? query.sortDict.rbegin()->first
                              : TQDBResource::nameKey();
  const auto direction = query.sortDict.find(key);
  const bool ascending = direction != query.sortDict.end() && direction->second;
  // A key that is no attribute never reaches SQL: the fetch logs it once and answers no rows.
  request.sortDescriptors = {{key, ascending}};
  request.fetchBatchSize = 50;
  if (pagedByFetch(query)) {
    // Both are below 2^31, so their product fits.
    const auto count = static_cast<uint64_t>(query.count);
    request.fetchLimit = static_cast<size_t>(count);
    request.fetchOffset =
        static_cast<size_t>((static_cast<uint64_t>(pageNumberOf(query)) - 1) * count);
  }
  return request;
}

// Global queue: the identifiers of the stored rows the request matches, sorted and paged.
std::optional<Identifiers> identifiersFound(const TQFetchRequest& request,
                                            const LocalQuery& query) {
  return pageOf(backgroundContext()->executeFetchRequestForObjectIDs(request, nullptr), query,
                request);
}

std::optional<Identifiers> searchStore(const LocalQuery& query) {
  return identifiersFound(fetchRequestOf(query), query);
}

// The search of a media list: every stored row of the content type, by name from A to Z.
std::shared_ptr<TQSearchAPIParams> mediaListParams(std::string_view contentType) {
  auto params = std::make_shared<TQSearchAPIParams>();
  params->query = NSString_SearchQueryHelperMethods::setValue(contentType, "contentType");
  params->setSortKey(TQDBResource::nameKey(), true);
  return params;
}

// The `Item` of one row, bound as Item::initWithDBResourceID binds it, given the row's object in
// the main-queue context (nullptr when the row is gone).
template <class Item>
std::shared_ptr<Item> boundItem(const TQManagedObjectID& identifier,
                                std::shared_ptr<TQManagedObject> object) {
  auto row = std::dynamic_pointer_cast<TQDBResource>(std::move(object));
  if (!row) {
    // Deleted since the search: the item binds as initWithDBResourceID does for such a row.
    return Item::initWithDBResourceID(identifier);
  }
  auto item = std::make_shared<Item>();
  item->setDbResourceID(identifier);
  item->setDbResource(std::move(row));
  return item;
}

// Global queue: one `Item` bound to each row. The rows are read a few thousand per statement and
// handed to the items, rather than looked up one by one.
template <class Item>
std::vector<std::shared_ptr<Item>> bindItems(const Identifiers& identifiers) {
  const auto context = TQPersistentStore::sharedPersistentStore()->mainQueueManagedObjectContext();
  auto rows = context->existingObjectsWithIDs(identifiers, nullptr);
  std::vector<std::shared_ptr<Item>> items;
  items.reserve(identifiers.size());
  for (size_t i = 0; i < identifiers.size(); ++i) {
    items.push_back(boundItem<Item>(identifiers[i], std::move(rows[i])));
  }
  return items;
}

// Global queue: what searchStore and then bindItems answer, from one read of the store when the
// main-queue context allows it (it holds no write transaction): the search's statement reads the
// rows whole, so they are not looked up again by identifier.
template <class Item>
std::optional<std::vector<std::shared_ptr<Item>>> searchAndBindItems(const LocalQuery& query) {
  const TQFetchRequest request = fetchRequestOf(query);
  const auto context = TQPersistentStore::sharedPersistentStore()->mainQueueManagedObjectContext();
  auto rows = context->executeFetchRequestForCommittedObjects(request, nullptr);
  if (!rows) {
    const auto identifiers = identifiersFound(request, query);
    if (!identifiers) {
      return std::nullopt;
    }
    return bindItems<Item>(*identifiers);
  }
  auto page = pageOf(std::move(*rows), query, request);
  if (!page) {
    return std::nullopt;
  }
  std::vector<std::shared_ptr<Item>> items;
  items.reserve(page->size());
  for (auto& [identifier, object] : *page) {
    items.push_back(boundItem<Item>(identifier, std::move(object)));
  }
  return items;
}

// Whether the store is up to date after a full sync with this combined response: 200 (folders
// merged) or 412 (nothing changed), and no merge failed.
bool syncSucceeded(const TQAPIQueryResponse* response) {
  return response != nullptr && (TQAPIQueryResponse_Helper::answeredWith(*response, 200) ||
                                 TQAPIQueryResponse_Helper::answeredWith(*response, 412));
}

// search() with, when given, a predicate of the library's own in place of the query's
// translation, and `read` answering from the store (on the global queue) after a sync that
// succeeded; the handler receives its answer, or nullopt after any other sync outcome.
template <class Result>
void startLocalSearch(
    TQAPISDK& facade, const std::shared_ptr<TQSearchAPIParams>& params,
    std::optional<tq::PredicatePtr> predicate,
    std::function<std::optional<Result>(const LocalQuery&)> read,
    std::function<void(const std::optional<Result>&, const std::shared_ptr<TQAPIQueryResponse>&)>
        completionHandler) {
  if (!params) {
    TQAPI::throwNilArgumentException();
  }
  facade.copyAccessToken(params.get());
  params->validateParameters();
  LocalQuery query{params->query, std::move(predicate), params->sort, params->sortDict,
                   params->page,  params->start,        params->count};
  facade.doFullSyncWithCompletionHandler([query = std::move(query), read = std::move(read),
                                          completionHandler = std::move(completionHandler)](
                                             const std::shared_ptr<TQAPIQueryResponse>& response) {
    tq::globalQueue().async([query, read, completionHandler, response] {
      std::optional<Result> result;
      if (syncSucceeded(response.get())) {
        result = read(query);
      }
      tq::mainQueue().async([completionHandler, result = std::move(result), response] {
        if (completionHandler) {
          completionHandler(result, response);
        }
      });
    });
  });
}

// startLocalSearch(), then one `Item` bound to each row found, on the global queue; the host
// hears on the main queue.
template <class Item>
void listBoundItems(TQAPISDK& facade, const std::shared_ptr<TQSearchAPIParams>& params,
                    std::optional<tq::PredicatePtr> predicate,
                    TQMediaListCompletionHandler<Item> completionHandler) {
  using Items = std::vector<std::shared_ptr<Item>>;
  startLocalSearch<Items>(
      facade, params, std::move(predicate), searchAndBindItems<Item>,
      [completionHandler = std::move(completionHandler)](
          const std::optional<Items>& items, const std::shared_ptr<TQAPIQueryResponse>& response) {
        const Items none;
        if (completionHandler) {
          completionHandler(items ? *items : none, response);
        }
      });
}

}  // namespace

void TQAPISDK::search(const std::shared_ptr<TQSearchAPIParams>& params,
                      TQSearchCompletionHandler completionHandler) {
  startLocalSearch<Identifiers>(*this, params, std::nullopt, searchStore,
                                std::move(completionHandler));
}

void TQLocalSearch::searchAudioFiles(const std::shared_ptr<TQSearchAPIParams>& params,
                                     tq::PredicatePtr predicate,
                                     TQMediaListCompletionHandler<TQAudio> completionHandler) {
  listBoundItems<TQAudio>(*TQAPISDK::sharedInstance(), params, std::move(predicate),
                          std::move(completionHandler));
}

void TQLocalSearch::audioListValues(std::string_view key,
                                    TQAudioListValuesHandler completionHandler) {
  startLocalSearch<std::vector<tq::Value>>(
      *TQAPISDK::sharedInstance(), mediaListParams(kAudioContentTypes), std::nullopt,
      [key = std::string(key)](const LocalQuery& query) {
        return backgroundContext()->executeFetchRequestForValues(fetchRequestOf(query), key,
                                                                 nullptr);
      },
      [completionHandler = std::move(completionHandler)](
          const std::optional<std::vector<tq::Value>>& values,
          const std::shared_ptr<TQAPIQueryResponse>& response) {
        if (completionHandler) {
          completionHandler(values.value_or(std::vector<tq::Value>{}), response);
        }
      });
}

template <class Item>
void TQAPISDK::getMediaList(std::string_view contentType,
                            TQMediaListCompletionHandler<Item> completionHandler) {
  listBoundItems<Item>(*this, mediaListParams(contentType), std::nullopt,
                       std::move(completionHandler));
}

void TQAPISDK::getPhotosWithCompletionHandler(
    TQMediaListCompletionHandler<TQPhoto> completionHandler) {
  getMediaList<TQPhoto>("image*", std::move(completionHandler));
}

void TQAPISDK::getVideosWithCompletionHandler(
    TQMediaListCompletionHandler<TQVideo> completionHandler) {
  getMediaList<TQVideo>("video*", std::move(completionHandler));
}

void TQAPISDK::getAudiosWithCompletionHandler(
    TQMediaListCompletionHandler<TQAudio> completionHandler) {
  getMediaList<TQAudio>(kAudioContentTypes, std::move(completionHandler));
}

void TQAPISDK::getDocumentsWithCompletionHandler(
    TQMediaListCompletionHandler<TQFile> completionHandler) {
  getMediaList<TQFile>("application/*", std::move(completionHandler));
}
