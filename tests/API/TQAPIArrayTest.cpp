// The list of live calls: its routing index must answer exactly what a walk of the list in order
// with compareSessionID() would, whatever calls come, go and change their task identity.
#include <gtest/gtest.h>

#include <random>

#include "QuenlarCloudAPI/API/TQAPIArray.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/API/APITestCalls.h"

namespace {

std::shared_ptr<TQAPI> walk(const std::vector<std::shared_ptr<TQAPI>>& calls, uint64_t apiID,
                            const std::optional<std::string>& sessionID) {
  if (apiID == 0) {
    return nullptr;  // identifier 0 belongs to calls that never started, and no event carries it
  }
  for (const auto& call : calls) {
    if (call->apiID() == apiID && call->compareSessionID(sessionID)) {
      return call;
    }
  }
  return nullptr;
}

TEST(TQAPIArrayTest, CompareSessionID) {
  const auto call = TQAPI::init<TQTestAPI>();
  const struct {
    std::optional<std::string> own, given;
    bool match;
  } cases[] = {
      {std::nullopt, std::nullopt, true},
      {std::nullopt, "", true},
      {"", std::nullopt, true},
      {std::nullopt, "bg", false},
      {"bg", "bg", true},
      {"bg", std::nullopt, false},
      {"bg", "BG", false},
  };
  for (const auto& c : cases) {
    call->setSessionID(c.own);
    EXPECT_EQ(call->compareSessionID(c.given), c.match)
        << c.own.value_or("nil") << " / " << c.given.value_or("nil");
  }
}

TEST(TQAPIArrayTest, IndexAnswersWhatAWalkInOrderWould) {
  // The facade's own list follows identity changes made through the call's setters.
  TQAPIArray& list = TQAPISDK::sharedInstance()->apiArray();
  std::mt19937 random(12345);
  const std::optional<std::string> sessions[] = {std::nullopt, "", "bg", "other"};
  std::vector<std::shared_ptr<TQAPI>> pool;
  pool.reserve(40);
  for (int i = 0; i < 40; ++i) {
    pool.push_back(TQAPI::init<TQTestAPI>());
  }
  for (int step = 0; step < 5000; ++step) {
    const auto& call = pool[random() % pool.size()];
    switch (random() % 5) {
      case 0:
        list.add(call);
        break;
      case 1:
        list.remove(call);
        break;
      case 2:
        call->setApiID(random() % 6);  // few identifiers, so that calls collide
        break;
      case 3:
        call->setSessionID(sessions[random() % 4]);
        break;
      default: {
        const uint64_t apiID = random() % 6;
        const auto& session = sessions[random() % 4];
        ASSERT_EQ(list.find(apiID, session), walk(list.snapshot(), apiID, session))
            << "step " << step;
      }
    }
  }
  for (const auto& call : pool) {
    list.remove(call);
  }
  EXPECT_EQ(list.count(), 0U);
  EXPECT_TRUE(list.add(pool[0]));
  EXPECT_FALSE(list.add(pool[0])) << "a call is on the list at most once";
  EXPECT_TRUE(list.remove(pool[0]));
  EXPECT_FALSE(list.remove(pool[0]));
}

}  // namespace
