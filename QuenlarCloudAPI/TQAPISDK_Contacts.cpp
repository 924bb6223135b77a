// The facade's contact operations: the listing with its page gathering, and create, update and
// delete.
#include <algorithm>
#include <cstddef>
#include <exception>
#include <string>
#include <unordered_map>
#include <utility>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQContactListAnswer.h"
#include "QuenlarCloudAPI/API/Contact_API/TQContactSort.h"
#include "QuenlarCloudAPI/API/Contact_API/TQCreateContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQDeleteContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQDeleteContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQUpdateContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQUpdateContactAPIParams.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQContact.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kListedStatus = 200;
constexpr int kCreatedStatus = 201;
constexpr int kUpdatedStatus = 200;

using Contacts = std::vector<std::shared_ptr<TQContact>>;

std::optional<Contacts> contactListOf(const TQAPIQueryResponse& response) {
  return TQContactListAnswer::contacts(response);
}

// The contact handed back after a create or update: the body that was sent, with the server's
// identifier and version in place of whatever the body held. A member the answer lacks is left
// out rather than guessed, so a sent version never poses as the new one.
std::shared_ptr<TQContact> contactOf(tq::JSON body, const TQAPIQueryResponse& response) {
  const auto answer = response.jsonResponse();
  for (const char* key : {"id", "version"}) {
    const tq::JSON* value = answer ? TQJSONReading::member(*answer, key) : nullptr;
    if (value != nullptr) {
      body[key] = *value;
    } else {
      body.erase(key);
    }
  }
  return TQContact::initWithDictionary(body);
}

// Pages after the first that a listing gathers: none when the host named a page or a count or the
// first page held the whole address book; otherwise enough to reach "itemcount", capped.
int64_t laterPageCount(const TQContactAPIParams& sent, int64_t itemcount) {
  if (sent.page > 0 || sent.count > 0 || itemcount <= TQAPISDK::contactPageSize) {
    return 0;
  }
  // Rounded up without forming itemcount + pageSize - 1, which could overflow.
  const int64_t pages =
      itemcount / TQAPISDK::contactPageSize + (itemcount % TQAPISDK::contactPageSize != 0 ? 1 : 0);
  return std::min(pages - 1, TQAPISDK::maximumContactLaterPages);
}

// The later pages' contacts in page order. The batch gathers results and outcomes in the order the
// calls finished, each call's contacts together; each outcome's share is as many contacts as its
// answer holds (none unless it was answered 200), which places every run at its page.
Contacts laterContactsInPageOrder(const std::vector<std::shared_ptr<TQContactAPI>>& calls,
                                  const TQAPIBatchOutcome<std::shared_ptr<TQContact>>& outcome) {
  std::unordered_map<const TQAPIQueryResponse*, size_t> pageOfResponse;
  for (size_t page = 0; page < calls.size(); ++page) {
    pageOfResponse.emplace(calls[page]->apiResponse().get(), page);
  }
  std::vector<std::pair<size_t, size_t>> runs(calls.size(), {0, 0});  // first, length per page
  size_t next = 0;
  for (const auto& response : outcome.responseArray) {
    const auto page = response ? pageOfResponse.find(response.get()) : pageOfResponse.end();
    const size_t length =
        response && TQAPIQueryResponse_Helper::answeredWith(*response, kListedStatus)
            ? TQContactListAnswer::contactCount(*response)
            : 0;
    if (page == pageOfResponse.end() || next + length > outcome.resultArray.size()) {
      tq::systemLog("[ERROR] contact pages could not be put in order; kept as they finished");
      return outcome.resultArray;
    }
    runs[page->second] = {next, length};
    next += length;
  }
  if (next != outcome.resultArray.size()) {
    tq::systemLog("[ERROR] contact pages could not be put in order; kept as they finished");
    return outcome.resultArray;
  }
  Contacts ordered;
  ordered.reserve(next);
  for (const auto& [first, length] : runs) {
    const auto begin = outcome.resultArray.begin() + static_cast<std::ptrdiff_t>(first);
    ordered.insert(ordered.end(), begin, begin + static_cast<std::ptrdiff_t>(length));
  }
  return ordered;
}

// One fetchContacts() from its first answer on: the record as it was sent, the host's handler,
// and what hands the outcome to the main queue.
struct ContactListing {
  std::weak_ptr<TQContactAPI> firstCall;
  std::shared_ptr<const TQContactAPIParams> sent;
  TQContactsCompletionHandler hostHandler;

  // On the global queue: sorts, then delivers on the main queue.
  static void sortAndDeliver(const std::shared_ptr<const ContactListing>& listing,
                             const TQAPISDK::Deliverer& deliverer, Contacts contacts,
                             std::shared_ptr<TQAPIQueryResponse> response) {
    tq::globalQueue().async([listing, deliverer, contacts = std::move(contacts),
                             response = std::move(response)]() mutable {
      auto sorted = TQContactSort::sortedContacts(std::move(contacts), *listing->sent);
      deliverer([listing, sorted = std::move(sorted), response] {
        if (listing->hostHandler) {
          listing->hostHandler(sorted, response);
        }
      });
    });
  }

  // On the delegate queue: makes and starts the later pages' batch; answers false, with nothing
  // started, when they could not be made.
  static bool gather(const std::shared_ptr<const ContactListing>& listing,
                     const std::shared_ptr<TQContactAPI>& firstCall,
                     const TQAPISDK::Deliverer& deliverer, Contacts firstPage, int64_t laterPages) {
    std::vector<std::shared_ptr<TQContactAPI>> calls;
    try {
      calls.reserve(static_cast<size_t>(laterPages));
      for (int64_t page = 2; page <= laterPages + 1; ++page) {
        auto record = TQCopyParams(*listing->sent);
        record->page = static_cast<int32_t>(page);
        record->count = TQAPISDK::contactPageSize;
        record->sort = listing->sent->sort;
        record->query = listing->sent->query;
        auto call = TQAPI::initWithParameters<TQContactAPI>(std::move(record));
        call->prepareQuery();
        calls.push_back(std::move(call));
      }
    } catch (const std::exception& e) {
      tq::systemLog(std::string("[ERROR] the later contact pages could not be made: ") + e.what());
      return false;
    }
    const auto batch = TQAPISDK::sharedInstance()->startBatch<TQContactAPI>(
        calls, [listing, deliverer, calls, firstPage = std::move(firstPage)](
                   TQAPIBatchOutcome<std::shared_ptr<TQContact>> outcome) mutable {
          // The batch reports on the main queue; merging and sorting belong elsewhere.
          tq::globalQueue().async([listing, deliverer, calls = std::move(calls),
                                   contacts = std::move(firstPage),
                                   outcome = std::move(outcome)]() mutable {
            const Contacts later = laterContactsInPageOrder(calls, outcome);
            contacts.insert(contacts.end(), later.begin(), later.end());
            sortAndDeliver(listing, deliverer, std::move(contacts), outcome.response);
          });
        });
    firstCall->attachLaterPages(batch);
    return true;
  }

  // On the delegate queue, with the first page's outcome.
  static void firstPageAnswered(const std::shared_ptr<const ContactListing>& listing,
                                const std::shared_ptr<TQAPIQueryResponse>& response,
                                const TQAPISDK::Deliverer& deliverer) {
    if (!TQAPIQueryResponse_Helper::answeredWith(*response, kListedStatus)) {
      deliverer([listing, response] {
        if (listing->hostHandler) {
          listing->hostHandler(std::nullopt, response);
        }
      });
      return;
    }
    Contacts firstPage = TQContactListAnswer::contacts(*response);
    const int64_t laterPages =
        laterPageCount(*listing->sent, TQContactListAnswer::itemcount(*response));
    if (laterPages > 0) {
      const auto firstCall = listing->firstCall.lock();
      if (!firstCall || firstCall->isCancelled()) {
        return;  // cancelled: nothing more is asked, nothing is delivered
      }
      if (gather(listing, firstCall, deliverer, firstPage, laterPages)) {
        return;
      }
    }
    sortAndDeliver(listing, deliverer, std::move(firstPage), response);
  }
};

}  // namespace

std::shared_ptr<TQContactAPI> TQAPISDK::fetchContactsWithCompletionHandler(
    TQContactsCompletionHandler completionHandler) {
  return startSingleCall<TQContactAPI>(std::make_shared<TQContactAPIParams>(), kListedStatus,
                                       contactListOf, std::move(completionHandler));
}

std::shared_ptr<TQContactAPI> TQAPISDK::fetchContacts(
    std::shared_ptr<TQContactAPIParams> params, TQContactsCompletionHandler completionHandler) {
  auto call = prepareCall<TQContactAPI>(std::move(params));
  // The later pages and the local sort follow the record as it was sent, whatever the host does
  // with its record afterwards.
  const auto& sent = dynamic_cast<const TQContactAPIParams&>(*call->apiParams());
  auto listing = std::make_shared<const ContactListing>(ContactListing{
      call, std::make_shared<const TQContactAPIParams>(sent), std::move(completionHandler)});
  registerAndStartDeferred(
      call, TQCallStart::data(),
      [listing](const std::shared_ptr<TQAPIQueryResponse>& response, const Deliverer& deliverer) {
        // The answer is untrusted; whatever reading it throws must not
        // escape onto the delegate queue, and the host still hears.
        try {
          ContactListing::firstPageAnswered(listing, response, deliverer);
        } catch (const std::exception& e) {
          tq::systemLog(std::string("[ERROR] a contact page could not be "
                                    "read: ") +
                        e.what());
          deliverer([listing, response] {
            if (listing->hostHandler) {
              listing->hostHandler(std::nullopt, response);
            }
          });
        }
      });
  return call;
}

std::shared_ptr<TQCreateContactAPI> TQAPISDK::createContact(
    std::shared_ptr<TQCreateContactAPIParams> params,
    TQContactCompletionHandler completionHandler) {
  // The same body the call sends: both are written from the record on this thread, now.
  tq::JSON body = params ? params->contactBody() : tq::JSON();
  return startSingleCall<TQCreateContactAPI>(
      std::move(params), kCreatedStatus,
      [body = std::move(body)](const TQAPIQueryResponse& response) {
        return contactOf(body, response);
      },
      std::move(completionHandler));
}

std::shared_ptr<TQUpdateContactAPI> TQAPISDK::updateContact(
    std::shared_ptr<TQUpdateContactAPIParams> params,
    TQContactCompletionHandler completionHandler) {
  tq::JSON body = params ? params->contactBody() : tq::JSON();
  return startSingleCall<TQUpdateContactAPI>(
      std::move(params), kUpdatedStatus,
      [body = std::move(body)](const TQAPIQueryResponse& response) {
        return contactOf(body, response);
      },
      std::move(completionHandler));
}

std::shared_ptr<TQDeleteContactAPI> TQAPISDK::deleteContact(
    std::shared_ptr<TQDeleteContactAPIParams> params, TQAPIResponseHandler completionHandler) {
  return startSingleCall<TQDeleteContactAPI>(std::move(params), std::move(completionHandler));
}
