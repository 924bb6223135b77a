// The single-call road end to end against the test server: request shape, delivery on the main
// queue, exceptions before anything is sent, failures, odd bodies, notifications and cancelling.
#include <gtest/gtest.h>

#include <any>
#include <atomic>
#include <string>

#include "QuenlarCloudAPI/API/AccountInfo_API/TQAccountInfoAPI.h"
#include "QuenlarCloudAPI/API/LCID_API/TQLCIDAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/API/TQURLSession.h"
#include "QuenlarCloudAPI/Helper_Class/TQAPIUtility.h"
#include "QuenlarCloudAPI/Model/TQAccountInfo.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/NotificationCenter.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"
#include "tests/API/APITestCalls.h"
#include "tests/support/ServerFixture.h"

namespace {

using testsupport::Latch;

// What a host handler saw.
struct Delivery {
  Latch done;
  std::shared_ptr<TQAPIQueryResponse> response;
  std::shared_ptr<TQAccountInfo> info;
  bool onMainQueue = false;
  size_t liveCalls = 0;
  std::atomic<int> count{0};
};

TQAccountInfoCompletionHandler recordInto(const std::shared_ptr<Delivery>& delivery) {
  return [delivery](const std::shared_ptr<TQAccountInfo>& info,
                    const std::shared_ptr<TQAPIQueryResponse>& response) {
    delivery->info = info;
    delivery->response = response;
    delivery->onMainQueue = tq::mainQueue().isCurrent();
    delivery->liveCalls = TQAPISDK::sharedInstance()->apiArray().count();
    ++delivery->count;
    delivery->done.countDown();
  };
}

TQAPIResponseHandler recordResponse(const std::shared_ptr<Delivery>& delivery) {
  return [delivery](const std::shared_ptr<TQAPIQueryResponse>& response) {
    delivery->response = response;
    ++delivery->count;
    delivery->done.countDown();
  };
}

void drainDefaultSession() {
  TQURLSession::sharedURLSession()->defaultSession()->delegateQueue().sync([] {});
}

class TQAPIPipelineTest : public testsupport::ServerFixture {
 protected:
  std::shared_ptr<TQAPISDK> facade = TQAPISDK::sharedInstance();
};

TEST_F(TQAPIPipelineTest, SingleCallRoadEndToEnd) {
  signIn("abc");
  auto delivery = std::make_shared<Delivery>();
  const auto call = facade->fetchAccountInfoWithCompletionHandler(recordInto(delivery));
  EXPECT_EQ(call->className(), "TQAccountInfoAPI");
  EXPECT_NE(call->apiID(), 0U);
  EXPECT_FALSE(call->sessionID().has_value());
  ASSERT_TRUE(delivery->done.wait());

  EXPECT_TRUE(delivery->onMainQueue);
  EXPECT_EQ(delivery->liveCalls, 0U) << "the call leaves the list before the host hears";
  ASSERT_NE(delivery->info, nullptr);
  EXPECT_EQ(delivery->info->ID(), "account-1");
  EXPECT_EQ(delivery->response->statusCode(), 200);

  const auto requests = server().requests("/cloud/1/account");
  ASSERT_EQ(requests.size(), 1U);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/cloud/1/account");
  EXPECT_EQ(requests[0].header("Authorization"), "Bearer abc");
  EXPECT_EQ(requests[0].header("Accept"), "application/json");
  EXPECT_EQ(requests[0].header("User-Agent"), TQAPIUtility::deviceInformationForUserAgent());
}

TEST_F(TQAPIPipelineTest, RequestShape) {
  const struct {
    TQStringDictionary headers;
    TQStringDictionary query;
    std::optional<std::string> body;
    std::string method;
    std::string target;
    std::vector<std::string> headerOrder;  // as the request lists them
    const char* why;
  } cases[] = {
      {{}, {}, std::nullopt, "GET", "/cloud/1/test", {}, "no headers: no User-Agent either"},
      {{{"X-One", "1"}},
       {},
       std::nullopt,
       "GET",
       "/cloud/1/test",
       {"X-One", "User-Agent"},
       "one header is enough for a User-Agent, after it"},
      {{{"B", "2"}, {"A", "1"}},
       {{"z", "1"}, {"a", "b c&d"}},
       "{}",
       "PUT",
       "/cloud/1/test?z=1&a=b%20c&d",
       {"B", "A", "User-Agent"},
       "headers and query keep their order; query values go as given (URL parsing escapes the "
       "blank)"},
  };
  signIn("t");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    auto params = testParams("/cloud/1/test");
    params->headers = c.headers;
    params->query = c.query;
    params->body = c.body;
    params->method = c.method;
    auto delivery = std::make_shared<Delivery>();
    const auto call = facade->startSingleCall<TQTestAPI>(params, recordResponse(delivery));
    std::vector<std::string> order;
    const auto request = call->urlRequest();
    for (const auto& [name, value] : request.allHTTPHeaderFields()) {
      order.push_back(name);
    }
    EXPECT_EQ(order, c.headerOrder);
    ASSERT_TRUE(delivery->done.wait());
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].method, c.method);
    EXPECT_EQ(requests[0].target, c.target);
    EXPECT_EQ(requests[0].headerCount("User-Agent"), c.headers.empty() ? 0U : 1U);
    EXPECT_EQ(requests[0].headerCount("Authorization"), 0U);
    EXPECT_EQ(requests[0].body, c.body.value_or(""));
  }
  EXPECT_EQ(TQAPI::paramterURLString({}), "");
}

TEST_F(TQAPIPipelineTest, BadRecordsRaiseBeforeAnythingIsRegisteredOrSent) {
  signIn();
  auto emptyID = std::make_shared<TQLCIDAPIParams>();
  const struct {
    std::function<void()> operation;
    const char* name;
    const char* reason;
  } cases[] = {
      {[&] { facade->fetchLCID(nullptr, {}); }, "NSInvalidArgumentException",
       "All required parameters missing."},
      {[&] { facade->fetchLCID(emptyID, {}); }, "NSInvalidArgumentException",
       "ID <REQUIRED PARAMETER> is missing."},
      {[&] { facade->startSingleCall<TQAPI>(testParams("/"), TQAPIResponseHandler()); },
       "Abstrat Method exception", "Method needs to be implemented by sub class"},
      {[&] {
         TQAPISDK::sharedInstance()->setAuthenticationCredetials(nullptr);
         facade->fetchAccountInfoWithCompletionHandler({});
       },
       "NSInvalidArgumentException", "access_token <REQUIRED PARAMETER> is missing."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    try {
      c.operation();
      ADD_FAILURE() << "nothing raised";
    } catch (const TQException& e) {
      EXPECT_EQ(e.name(), c.name);
      EXPECT_EQ(e.reason(), c.reason);
    }
    EXPECT_EQ(facade->apiArray().count(), 0U);
  }
  drainMainQueue();
  EXPECT_TRUE(server().requests().empty());
}

TEST_F(TQAPIPipelineTest, FailuresReachTheHostWithANilModel) {
  signIn();
  const struct {
    std::function<void()> arrange;
    int status;
    std::optional<int64_t> errorCode;
    const char* why;
  } cases[] = {
      {[&] { writeServerSettings("http://127.0.0.1:1"); }, 0, tq::URLError::CannotConnectToHost,
       "nobody listens"},
      {[&] { writeServerSettings(std::nullopt); }, 0, tq::URLError::BadURL,
       "no ServerBaseURL: the URL reads \"(null)/...\" and cannot be sent"},
      {[&] {
         writeServerSettings(server().baseURL());
         server().scriptOnce("GET", "/cloud/1/account", {.closeAbruptly = true});
       },
       0, tq::URLError::NetworkConnectionLost, "the server hangs up"},
      {[&] {
         server().scriptOnce(
             "GET", "/cloud/1/account",
             {.pieces = {R"({"id":"x",)", R"("alias":"y"})"}, .closeAbruptly = true});
       },
       200, tq::URLError::NetworkConnectionLost,
       "a 200 cut short mid-body: the status is no promise of an answer"},
      {[&] {
         server().scriptOnce("GET", "/cloud/1/account", {.status = 404, .body = R"({"id":"x"})"});
       },
       404, std::nullopt, "not the expected status: no model, but the answer is there"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    c.arrange();
    auto delivery = std::make_shared<Delivery>();
    facade->fetchAccountInfoWithCompletionHandler(recordInto(delivery));
    ASSERT_TRUE(delivery->done.wait());
    EXPECT_EQ(delivery->info, nullptr);
    EXPECT_EQ(delivery->response->statusCode(), c.status);
    EXPECT_EQ(delivery->response->error().has_value(), c.errorCode.has_value());
    if (c.errorCode) {
      EXPECT_EQ(delivery->response->error()->code(), *c.errorCode);
    } else {
      EXPECT_NE(delivery->response->jsonResponse(), nullptr);
    }
  }
}

TEST_F(TQAPIPipelineTest, BodiesThatAreNotJSON) {
  signIn();
  const struct {
    std::string body;
    std::optional<std::string> data;
    const char* why;
  } cases[] = {
      {"", std::nullopt, "an empty body leaves both nil, even for 200"},
      {"not json", "not json", "the bytes stay, the JSON is nil"},
      {"\"text\"", "\"text\"", "a bare value is not an answer"},
      {std::string(100000, '['), std::string(100000, '['), "absurd nesting is refused, not parsed"},
      {std::string(R"({"id":"x"})") + '\0' + "rest", std::string(R"({"id":"x"})") + '\0' + "rest",
       "an object followed by NUL and more is not JSON, whatever the reader stops at"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce("GET", "/cloud/1/account", {.status = 200, .body = c.body});
    auto delivery = std::make_shared<Delivery>();
    facade->fetchAccountInfoWithCompletionHandler(recordInto(delivery));
    ASSERT_TRUE(delivery->done.wait());
    EXPECT_EQ(delivery->response->jsonResponse(), nullptr);
    EXPECT_EQ(delivery->response->responseData(), c.data);
    ASSERT_NE(delivery->info, nullptr);
    EXPECT_EQ(delivery->info->ID(), std::nullopt);
    EXPECT_EQ(delivery->info->quota(), 0);
  }
}

TEST_F(TQAPIPipelineTest, NotificationsAndMessagesOnTheMainQueue) {
  signIn();
  auto& center = tq::NotificationCenter::defaultCenter();
  std::vector<std::string> seen;  // touched on the main queue only
  Latch released;
  std::shared_ptr<tq::URLSessionTask> startedTask;
  std::shared_ptr<TQAPIQueryResponse> completedResponse;
  bool allOnMain = true;
  const auto tokens = {
      center.addObserver(TQAPIInfoMessageLogNotification,
                         [&](const tq::Notification& n) {
                           allOnMain &= tq::mainQueue().isCurrent();
                           seen.push_back(std::any_cast<std::string>(n.object));
                           if (seen.back().starts_with("API released")) {
                             released.countDown();
                           }
                         }),
      center.addObserver(TQAPIStartNotification,
                         [&](const tq::Notification& n) {
                           startedTask =
                               std::any_cast<std::shared_ptr<tq::URLSessionTask>>(n.object);
                         }),
      center.addObserver(TQAPICompleteNotification, [&](const tq::Notification& n) {
        completedResponse = std::any_cast<std::shared_ptr<TQAPIQueryResponse>>(
            n.userInfo.at(TQAPIQueryResponseKey));
      })};

  auto delivery = std::make_shared<Delivery>();
  uint64_t apiID = 0;
  {
    const auto call = facade->fetchAccountInfoWithCompletionHandler(recordInto(delivery));
    apiID = call->apiID();
    ASSERT_TRUE(delivery->done.wait());
  }
  ASSERT_TRUE(released.wait());
  drainMainQueue();
  EXPECT_TRUE(allOnMain);
  EXPECT_EQ(seen, (std::vector<std::string>{"API started: TQAccountInfoAPI",
                                            "API released: TQAccountInfoAPI"}));
  ASSERT_NE(startedTask, nullptr);
  EXPECT_EQ(startedTask->taskIdentifier(), apiID);
  EXPECT_EQ(completedResponse, delivery->response);

  // A call made without a record announces nothing, but still says when it goes.
  seen.clear();
  Latch releasedAgain;
  const auto token = center.addObserver(
      TQAPIInfoMessageLogNotification, [&](const tq::Notification&) { releasedAgain.countDown(); });
  TQAPI::init<TQTestAPI>().reset();
  ASSERT_TRUE(releasedAgain.wait());
  drainMainQueue();
  EXPECT_EQ(seen, std::vector<std::string>{"API released: TQTestAPI"});
  center.removeObserver(token);
  for (const auto& t : tokens) {
    center.removeObserver(t);
  }
}

TEST_F(TQAPIPipelineTest, CancelWhileTheServerHoldsTheAnswer) {
  signIn();
  auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce("GET", "/cloud/1/account", {.holdUntil = gate});
  auto delivery = std::make_shared<Delivery>();
  const auto call = facade->fetchAccountInfoWithCompletionHandler(recordInto(delivery));
  ASSERT_TRUE(server().waitForRequests(1, testsupport::kTimeout));
  call->cancelAPI();
  EXPECT_EQ(facade->apiArray().count(), 0U);
  EXPECT_EQ(call->datatask(), nullptr);
  gate->open();
  ASSERT_TRUE(testsupport::eventually([&] { return gate->waiters() == 0; }));
  drainDefaultSession();
  drainMainQueue();
  EXPECT_EQ(delivery->count, 0);
  call->cancelAPI();  // twice is harmless
}

TEST_F(TQAPIPipelineTest, CancelAfterTheHandlerWasQueuedOnTheMainQueue) {
  signIn();
  Latch mainBlocked;
  Latch releaseMain;
  tq::mainQueue().async([&] {
    mainBlocked.countDown();
    releaseMain.wait();
  });
  ASSERT_TRUE(mainBlocked.wait());
  auto delivery = std::make_shared<Delivery>();
  const auto call = facade->fetchAccountInfoWithCompletionHandler(recordInto(delivery));
  // The completion takes the handler out and queues the host's report in the same block.
  ASSERT_TRUE(testsupport::eventually([&] { return !call->completionHandler(); }));
  drainDefaultSession();
  call->cancelAPI();
  releaseMain.countDown();
  drainMainQueue();
  EXPECT_EQ(delivery->count, 0) << "a cancelled call's queued report must not run";
}

TEST_F(TQAPIPipelineTest, CancelBeforeStartSendsNothing) {
  signIn();
  const auto call = TQAPI::initWithParameters<TQTestAPI>(testParams("/cloud/1/test"));
  call->cancelAPI();
  int calls = 0;
  call->sendAsyncRequestWithCompletionHandler([&](auto) { ++calls; });
  EXPECT_EQ(call->datatask(), nullptr);
  EXPECT_EQ(call->apiID(), 0U);
  drainDefaultSession();
  EXPECT_EQ(calls, 0);
}

TEST_F(TQAPIPipelineTest, AResponseNoCallTakesEndsItsTask) {
  // Started without registration, so the holder finds no call for its events.
  auto params = testParams("/cloud/1/test");
  params->accessToken = "t";
  const auto call = TQAPI::initWithParameters<TQTestAPI>(params);
  call->prepareQuery();
  call->sendAsyncRequestWithCompletionHandler([](auto) {});
  const auto task = call->datatask();
  ASSERT_TRUE(
      testsupport::eventually([&] { return task->state() == tq::URLSessionTaskState::Completed; }));
}

}  // namespace

namespace {

TEST_F(TQAPIPipelineTest, AStartedCallsRequestAndIdentityCannotChange) {
  signIn();
  auto params = testParams("/cloud/1/test");
  params->accessToken = "t";
  const auto call = TQAPI::initWithParameters<TQTestAPI>(params);
  call->prepareQuery();
  // Before the start the request is one value that follows its parts: a new URL text replaces
  // the URL read from the old one.
  EXPECT_EQ(call->requestURL()->path(), "/cloud/1/test");
  call->setRequestURLString(*call->serverBaseURL() + "/cloud/1/test/moved");
  EXPECT_EQ(call->requestURL()->path(), "/cloud/1/test/moved");
  EXPECT_EQ(call->urlRequest().url()->path(), "/cloud/1/test/moved");

  auto delivery = std::make_shared<Delivery>();
  facade->registerAndStart(call, TQCallStart::data(),
                           [delivery](const std::shared_ptr<TQAPIQueryResponse>& response) {
                             return [delivery, response] { recordResponse(delivery)(response); };
                           });
  const struct {
    const char* what;
    std::function<void()> change;
  } cases[] = {
      {"method", [&] { call->setRequestMethod("DELETE"); }},
      {"URL text", [&] { call->setRequestURLString("http://elsewhere/"); }},
      {"URL", [&] { call->setRequestURL(tq::URL::URLWithString("http://elsewhere/")); }},
      {"headers", [&] { call->setRequestHeaders({}); }},
      {"one header", [&] { call->setRequestHeader("Authorization", "Bearer other"); }},
      {"body", [&] { call->setRequestBody("x"); }},
      {"base URL", [&] { call->setServerBaseURL("http://elsewhere"); }},
      {"record", [&] { call->setApiParams(nullptr); }},
      {"task identifier, which routes its events", [&] { call->setApiID(12345); }},
      {"session, which routes its events", [&] { call->setSessionID("other"); }},
      {"outcome", [&] { call->setApiResponse(nullptr); }},
      {"completion handler", [&] { call->setCompletionHandler(nullptr); }},
      {"progress handler", [&] { call->setProgressHandler(nullptr); }},
  };
  for (const auto& c : cases) {
    try {
      c.change();
      ADD_FAILURE() << c.what << " changed on a started call";
    } catch (const TQException& e) {
      EXPECT_EQ(e.name(), "NSInternalInconsistencyException") << c.what;
    }
  }
  ASSERT_TRUE(delivery->done.wait());
  EXPECT_EQ(delivery->count, 1);
  ASSERT_TRUE(server().waitForRequests(1, testsupport::kTimeout));
  EXPECT_EQ(server().requests().front().path, "/cloud/1/test/moved");
}

}  // namespace

namespace {

TEST_F(TQAPIPipelineTest, AnAnswerOverTheSizeCapFailsAndLeavesNoBody) {
  // Set before the library makes its sessions, as a host does.
  tq::URLSession::setMaximumResponseDataLength(1000);
  signIn();
  server().scriptOnce("GET", "/cloud/1/account",
                      {.body = R"({"id":")" + std::string(5000, 'x') + R"("})"});
  auto delivery = std::make_shared<Delivery>();
  facade->fetchAccountInfoWithCompletionHandler(recordInto(delivery));
  ASSERT_TRUE(delivery->done.wait());
  EXPECT_EQ(delivery->info, nullptr);
  ASSERT_TRUE(delivery->response->error());
  EXPECT_EQ(delivery->response->error()->code(), tq::URLError::DataLengthExceedsMaximum);
  EXPECT_FALSE(delivery->response->responseData()) << "no part of the answer is kept";
  EXPECT_EQ(delivery->response->jsonResponse(), nullptr);
}

}  // namespace
