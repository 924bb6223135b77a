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

// The page the local search hands back: page `page`, or page `start` when no page is given (the
// local search has always read `start` as a page number), when a count is given too.
std::optional<Identifiers> pageOf(Identifiers identifiers, const LocalQuery& query) {
  int64_t page = 0;
  if (query.page > 0 && query.start >= 0) {
    page = query.page;
  } else if (query.page == 0 && query.start > 0) {
    page = query.start;
  }
  if (identifiers.empty() || page == 0 || query.count == 0) {
    return identifiers;
  }
  return TQAPISDK::paginatedArray(identifiers, page, query.count);
}

// Global queue: the fetch of the stored rows the query matches, sorted.
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
  return request;
}

std::shared_ptr<TQManagedObjectContext> backgroundContext() {
  return TQPersistentStore::sharedPersistentStore()->backgroundManagedObjectContext();
}

// Global queue: the identifiers of the stored rows the query matches, sorted and paged.
std::optional<Identifiers> searchStore(const LocalQuery& query) {
  return pageOf(
      backgroundContext()->executeFetchRequestForObjectIDs(fetchRequestOf(query), nullptr), query);
}

// The search of a media list: every stored row of the content type, by name from A to Z.
std::shared_ptr<TQSearchAPIParams> mediaListParams(std::string_view contentType) {
  auto params = std::make_shared<TQSearchAPIParams>();
  params->query = NSString_SearchQueryHelperMethods::setValue(contentType, "contentType");
  params->setSortKey(TQDBResource::nameKey(), true);
  return params;
}

// Global queue: one `Item` bound to each row, as Item::initWithDBResourceID binds it. The rows are
// read a few thousand per statement and handed to the items, rather than looked up one by one.
template <class Item>
std::vector<std::shared_ptr<Item>> bindItems(const Identifiers& identifiers) {
  const auto context = TQPersistentStore::sharedPersistentStore()->mainQueueManagedObjectContext();
  const auto rows = context->existingObjectsWithIDs(identifiers, nullptr);
  std::vector<std::shared_ptr<Item>> items;
  items.reserve(identifiers.size());
  for (size_t i = 0; i < identifiers.size(); ++i) {
    auto row = std::dynamic_pointer_cast<TQDBResource>(rows[i]);
    if (!row) {
      // Deleted since the search: the item binds as initWithDBResourceID does for such a row.
      items.push_back(Item::initWithDBResourceID(identifiers[i]));
      continue;
    }
    auto item = std::make_shared<Item>();
    item->setDbResourceID(identifiers[i]);
    item->setDbResource(std::move(row));
    items.push_back(std::move(item));
  }
  return items;
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
      if (response && (response->statusCode() == 200 || response->statusCode() == 412)) {
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
  startLocalSearch<Identifiers>(
      facade, params, std::move(predicate), searchStore,
      [completionHandler = std::move(completionHandler)](
          const std::optional<Identifiers>& identifiers,
          const std::shared_ptr<TQAPIQueryResponse>& response) {
        tq::globalQueue().async([completionHandler, identifiers, response] {
          auto items =
              identifiers ? bindItems<Item>(*identifiers) : std::vector<std::shared_ptr<Item>>{};
          tq::mainQueue().async([completionHandler, items = std::move(items), response] {
            if (completionHandler) {
              completionHandler(items, response);
            }
          });
        });
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
