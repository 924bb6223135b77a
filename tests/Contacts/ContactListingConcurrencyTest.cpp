// Contact listings started and cancelled from several threads at once while their later pages
// are being gathered: each host handler runs at most once, only with the whole list, and nothing
// stays behind on the list of live calls.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPI.h"
#include "QuenlarCloudAPI/Model/TQContact.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ContactRoutes.h"

namespace {

constexpr int kContacts = 650;  // the first page and three later ones
constexpr int kListings = 12;

struct Listing {
  testsupport::Latch done;
  std::atomic<int> calls{0};
  std::atomic<bool> complete{false};
  std::shared_ptr<TQContactAPI> call;
};

class ContactListingConcurrencyTest : public testsupport::ServerFixture {};

TEST_F(ContactListingConcurrencyTest, CancelsRacingWithGatheringReportAtMostOnce) {
  signIn();
  auto& book = server().state<testserver::AddressBook>();
  for (int i = 1; i <= kContacts; ++i) {
    char id[16];
    std::snprintf(id, sizeof(id), "c%04d", i);
    book.put(id, {{"lastname", id}});
  }
  book.setDelayPerPage(std::chrono::milliseconds(2));

  std::vector<std::unique_ptr<Listing>> listings;
  listings.reserve(kListings);
  for (int i = 0; i < kListings; ++i) {
    listings.push_back(std::make_unique<Listing>());
  }
  // Even listings are left alone; odd ones are cancelled from another thread once the server has
  // seen a number of requests that grows with the listing, so cancels land before, during and
  // after the gathering of their pages.
  std::vector<std::thread> starters;
  starters.reserve(kListings);
  for (int i = 0; i < kListings; ++i) {
    starters.emplace_back([&listing = *listings[static_cast<size_t>(i)]] {
      listing.call = TQAPISDK::sharedInstance()->fetchContacts(
          std::make_shared<TQContactAPIParams>(),
          [&listing](const std::optional<std::vector<std::shared_ptr<TQContact>>>& contacts,
                     const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
            listing.complete = contacts && contacts->size() == static_cast<size_t>(kContacts);
            ++listing.calls;
            listing.done.countDown();
          });
    });
  }
  for (auto& starter : starters) {
    starter.join();
  }
  std::vector<std::thread> cancellers;
  for (int i = 1; i < kListings; i += 2) {
    cancellers.emplace_back([this, i, &listing = *listings[static_cast<size_t>(i)]] {
      server().waitForRequests(static_cast<size_t>(i) * 3, testsupport::kTimeout);
      listing.call->cancelAPI();
    });
  }
  for (auto& canceller : cancellers) {
    canceller.join();
  }

  for (int i = 0; i < kListings; i += 2) {
    EXPECT_TRUE(listings[static_cast<size_t>(i)]->done.wait());
  }
  EXPECT_TRUE(
      testsupport::eventually([] { return TQAPISDK::sharedInstance()->apiArray().count() == 0; }));
  drainMainQueue();
  for (int i = 0; i < kListings; ++i) {
    SCOPED_TRACE(i);
    const auto& listing = *listings[static_cast<size_t>(i)];
    EXPECT_LE(listing.calls.load(), 1);
    if (i % 2 == 0) {
      EXPECT_EQ(listing.calls.load(), 1);
    }
    if (listing.calls.load() == 1) {
      EXPECT_TRUE(listing.complete.load()) << "a delivered listing holds every page";
    }
  }
}

}  // namespace
