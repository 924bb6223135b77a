// Parameter records, the library's exceptions, the paging check and the call outcome.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "QuenlarCloudAPI/API/LCID_API/TQLCIDAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "tests/API/APITestCalls.h"
#include "tests/support/ServerFixture.h"

namespace {

using testsupport::ServerFixture;

class TQAPIParamsTest : public ServerFixture {};

// The exception a block raises; fails the test when it raises none.
template <class Block>
TQException caught(Block block) {
  try {
    block();
  } catch (const TQException& e) {
    return e;
  }
  ADD_FAILURE() << "no TQException raised";
  return TQException("", "");
}

TEST_F(TQAPIParamsTest, EmptyAccessTokenLogsFatelLineThenRaises) {
  TQTestAPIParams params;
  const auto e = caught([&] { params.validateParameters(); });
  EXPECT_EQ(e.name(), "NSInvalidArgumentException");
  EXPECT_EQ(e.reason(), "access_token <REQUIRED PARAMETER> is missing.");
  EXPECT_STREQ(e.what(), "access_token <REQUIRED PARAMETER> is missing.");
  EXPECT_EQ(systemLogLines(), std::vector<std::string>{
                                  "[FATEL] access_token  is required parameter to call this API."});
}

TEST_F(TQAPIParamsTest, KeysAndReasonFormatPassThroughTheHostsStringTable) {
  writeMainBundleStrings({{"ID", "Kennung"},
                          {"%@ <REQUIRED PARAMETER> is missing.", "%@ fehlt."},
                          {"Negative page", "Seite negativ"}});
  TQLCIDAPIParams params;
  params.accessToken = "token";
  EXPECT_EQ(caught([&] { params.validateParameters(); }).reason(), "Kennung fehlt.");
  EXPECT_EQ(
      caught([] { TQAPIParams::checkPaging(-1, 0, 0, {TQPagingCheck::NegativePage}); }).reason(),
      "Seite negativ fehlt.");
  EXPECT_EQ(systemLogLines().back(),
            "[FATEL] Seite negativ  is required parameter to call this API.");
}

TEST_F(TQAPIParamsTest, PagingChecks) {
  const std::initializer_list<TQPagingCheck> all = {
      TQPagingCheck::NegativePage, TQPagingCheck::NegativeStart, TQPagingCheck::CountRequired,
      TQPagingCheck::NegativeCount};
  struct Case {
    int32_t page, start, count;
    const char* message;  // nullptr: passes
    const char* why;
  };
  const Case cases[] = {
      {0, 0, 0, nullptr, "nothing given"},
      {1, 0, 0, nullptr, "the first page needs no count"},
      {2, 0, 0, "Positive count required", "a later page needs a count"},
      {0, 1, 0, nullptr, "start 1 needs no count"},
      {0, 2, 0, "Positive count required", "start 2 needs a count"},
      {-1, 0, 0, "Negative page", "negative page"},
      {0, -1, 0, "Negative start", "negative start"},
      {1, 0, -5, "Negative count", "negative count"},
      {2, 0, -5, "Negative count", "count required only fires on zero, so a negative one is next"},
      {-1, -1, -1, "Negative page", "the first failing check in order raises"},
      {INT32_MIN, 0, 0, "Negative page", "smallest page"},
      {0, INT32_MIN, 0, "Negative start", "smallest start"},
      {1, 0, INT32_MIN, "Negative count", "smallest count"},
      {INT32_MAX, INT32_MAX, 0, "Positive count required", "largest page and start"},
      {INT32_MAX, INT32_MAX, INT32_MAX, nullptr, "largest values pass"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    if (c.message == nullptr) {
      EXPECT_NO_THROW(TQAPIParams::checkPaging(c.page, c.start, c.count, all));
    } else {
      EXPECT_EQ(caught([&] { TQAPIParams::checkPaging(c.page, c.start, c.count, all); }).reason(),
                std::string(c.message) + " <REQUIRED PARAMETER> is missing.");
    }
  }
  // A record that checks the count before the page reports the count first.
  EXPECT_EQ(caught([] {
              TQAPIParams::checkPaging(-1, 0, -1,
                                       {TQPagingCheck::NegativeCount, TQPagingCheck::NegativePage});
            }).reason(),
            "Negative count <REQUIRED PARAMETER> is missing.");
}

TEST_F(TQAPIParamsTest, CopyKeepsTheClassItsDefaultsAndOnlyTheToken) {
  TQTestAPIParams params;
  params.accessToken = "token";
  params.path = "/changed";
  params.method = "PUT";
  const auto copy = TQCopyParams(params);
  const TQResourceAPIParams& copied = *copy;
  ASSERT_EQ(typeid(copied), typeid(TQTestAPIParams));
  EXPECT_EQ(copy->accessToken, "token");
  EXPECT_EQ(copy->path, "/cloud/1/test");
  EXPECT_EQ(copy->method, "GET");
}

TEST_F(TQAPIParamsTest, CopyOfARecordThatDoesNotNameItsClassFailsLoudly) {
  TQForgetfulAPIParams params;
  EXPECT_THROW(params.copy(), std::logic_error);
}

std::shared_ptr<TQAPIQueryResponse> outcome(int status) {
  auto response = std::make_shared<TQAPIQueryResponse>();
  if (status != 0) {
    response->setUrlResponse(std::make_shared<tq::HTTPURLResponse>(
        *tq::URL::URLWithString("http://127.0.0.1/"), status, tq::HTTPHeaderFields{}));
  }
  return response;
}

TEST(TQAPIQueryResponseTest, SuccessIs200201And412OfACompletedTransferOnly) {
  const struct {
    int status;
    std::optional<int64_t> error;
    bool success;
    bool answeredWith200;
  } cases[] = {{0, {}, false, false},
               {200, {}, true, true},
               {201, {}, true, false},
               {204, {}, false, false},
               {304, {}, false, false},
               {401, {}, false, false},
               {404, {}, false, false},
               {412, {}, true, false},
               {500, {}, false, false},
               {200, tq::URLError::NetworkConnectionLost, false, false},
               {200, tq::URLError::DataLengthExceedsMaximum, false, false},
               {201, tq::URLError::CannotCreateFile, false, false}};
  for (const auto& c : cases) {
    const auto response = outcome(c.status);
    if (c.error) {
      response->setError(tq::URLError(*c.error));
    }
    EXPECT_EQ(TQAPIQueryResponse_Helper::isSuccess(*response), c.success) << c.status;
    EXPECT_EQ(TQAPIQueryResponse_Helper::answeredWith(*response, 200), c.answeredWith200)
        << c.status;
  }
}

TEST(TQAPIQueryResponseTest, CombinedResponse) {
  const struct {
    std::vector<int> statuses;
    int picked;  // index, -1 for nullptr
    const char* why;
  } cases[] = {
      {{201, 412, 200}, 0, "all succeed: the first"},
      {{200, 404, 500}, 1, "the first failure"},
      {{200, 0}, 1, "a transport failure has no status and is a failure"},
      {{}, -1, "no outcomes: nil"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    std::vector<std::shared_ptr<TQAPIQueryResponse>> responses;
    for (const int status : c.statuses) {
      responses.push_back(outcome(status));
    }
    const auto combined = NSArray_TQAPIQueryResponse::response(responses);
    EXPECT_EQ(combined, c.picked < 0 ? nullptr : responses[c.picked]);
  }
}

TEST(TQAPIQueryResponseTest, ResponseDataStaysNilUntilAByteArrives) {
  TQAPIQueryResponse response;
  response.appendResponseData("");
  EXPECT_FALSE(response.responseData().has_value());
  response.appendResponseData("ab");
  response.appendResponseData("c");
  EXPECT_EQ(response.responseData(), "abc");
  EXPECT_EQ(response.statusCode(), 0);
}

}  // namespace
