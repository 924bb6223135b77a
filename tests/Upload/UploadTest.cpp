// The upload end to end: the facade's roads, the calls and the stand-in service's upload routes,
// which check every byte against the intent's size and SHA-256.
#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <fstream>
#include <functional>
#include <set>

#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadURLs.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Platform/Digest.h"
#include "QuenlarCloudAPI/Platform/NotificationCenter.h"
#include "tests/Upload/UploadFixture.h"
#include "testserver/OAuthState.h"

namespace uploadtest {
namespace {

using testserver::UploadStep;

using UploadTest = UploadFixture;

// What a client that keeps the server's URL of upload `id` as it stands sends to `step` ("upload"
// or "commit"), followed by `added`.
std::string targetOf(const std::string& step, int64_t id, const std::string& added = "") {
  const std::string number = std::to_string(id);
  return "/cloud/1/fileupload/" + step + "/" + number + "?uploadid=" + number + "&sig=s%2F" +
         number + added;
}

// The transport sends a request once more when a connection it reused dies before any answer, so a
// dropped connection is dropped again.
void dropTwice(testserver::UploadState& state, int64_t afterBytes) {
  state.failNext(UploadStep::Bytes, {.dropAfterBodyBytes = afterBytes});
  state.failNext(UploadStep::Bytes, {.dropAfterBodyBytes = afterBytes});
}

// A 201 whose body a proxy or portal replaced with a page of its own.
testserver::Answer storedAsHTML() {
  return {.status = 201,
          .headers = {{"Content-Type", "text/html"}},
          .body = "<html><body>Stored</body></html>"};
}

TEST_F(UploadTest, StoresTheFileOnEitherRoadWithEveryByteChecked) {
  const struct {
    int64_t size;
    bool hostChunk;
    std::vector<int> startOrder;  // empty: the whole-file road
    const char* why;
  } cases[] = {
      {1, false, {}, "a one-byte file goes whole"},
      {kWholeFileLimit, false, {}, "the limit itself still goes whole"},
      {kWholeFileLimit + 1, false, {3, 2, 1}, "a byte more: two full chunks and one of a byte"},
      {1000, true, {1}, "a host that sets chunk gets the chunked road, never a bodiless one"},
  };
  // The "offset" of each upload task, in the order the tasks started; the start notifications run
  // on the main queue, which settle() drains.
  std::vector<int> started;
  const auto observer = tq::NotificationCenter::defaultCenter().addObserver(
      TQAPIStartNotification, [&started](const tq::Notification& notification) {
        const auto* task = std::any_cast<std::shared_ptr<tq::URLSessionTask>>(&notification.object);
        const auto url = task != nullptr ? (*task)->originalRequest().url() : std::nullopt;
        if (const auto offset =
                url ? NSURL_Helper::valueForParameter(*url, "offset") : std::nullopt) {
          started.push_back(std::stoi(*offset));
        }
      });
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string name = "case " + std::to_string(++index) + "+.bin";
    const auto path = source(c.size, name);
    const std::string sha = testserver::patternSha256(c.size);
    auto params = record(name);
    params->chunk = c.hostChunk;
    server().clearLog();
    started.clear();
    const auto heard = upload(params, path)->heard();
    const bool chunked = !c.startOrder.empty();

    ASSERT_EQ(heard.completions, 1);
    EXPECT_TRUE(heard.completedOnMainQueue);
    EXPECT_EQ(heard.response->statusCode(), 201);
    ASSERT_NE(heard.metadata, nullptr);
    EXPECT_EQ(heard.metadata->name(), name);
    const auto stored = tree().resourceObject("/Documents/" + name);
    ASSERT_TRUE(stored);
    EXPECT_EQ((*stored)["checksum"], sha);
    EXPECT_EQ(tq::sha256(tree().readContent("/Documents/" + name, 0, c.size).value_or("")), sha);
    EXPECT_FALSE(std::filesystem::exists(path)) << "the server holds the file now";
    EXPECT_TRUE(documentsEntries().empty()) << "no chunk file is left";

    EXPECT_EQ(params->size, c.size);
    EXPECT_EQ(params->checkSum, sha);
    EXPECT_EQ(params->chunk, c.hostChunk) << "the host's record keeps its own chunk";
    EXPECT_FALSE(params->uploadUrl.empty());
    EXPECT_EQ(params->commitUrl.empty(), !chunked);

    const auto intents = server().requests(testserver::kUploadIntentPath);
    ASSERT_EQ(intents.size(), 1U);
    EXPECT_NE(intents[0].target.find("&name=case%20" + std::to_string(index) + "%2B.bin&"),
              std::string::npos);
    EXPECT_NE(intents[0].target.find(chunked ? "&chunk=true" : "&chunk=false"), std::string::npos);

    // The server's URLs come back byte for byte: their escaped "/" is not escaped again.
    const int64_t id = uploads().uploads().back().id;
    std::set<std::string> targets;
    for (const auto& post : requestsUnder("/cloud/1/fileupload/upload/")) {
      targets.insert(post.target);
      EXPECT_EQ(post.header("Content-Type"), "application/octet-stream");
      EXPECT_FALSE(post.header("Accept"));
    }
    std::set<std::string> expected;
    for (const int offset : c.startOrder) {
      expected.insert(targetOf("upload", id, "&offset=" + std::to_string(offset)));
    }
    if (!chunked) {
      expected.insert(targetOf("upload", id, "&checksum=" + sha));
    }
    EXPECT_EQ(targets, expected);
    EXPECT_EQ(started, c.startOrder) << "the last chunk starts first";
    const auto commits = requestsUnder("/cloud/1/fileupload/commit/");
    ASSERT_EQ(commits.size(), chunked ? 1U : 0U);
    if (chunked) {
      EXPECT_EQ(commits[0].target, targetOf("commit", id));
      EXPECT_EQ(commits[0].header("Content-Length"), "0");
      EXPECT_EQ(commits[0].header("Content-Type"), "application/json");
      EXPECT_FALSE(commits[0].header("Accept"));
    }

    const auto& reports = heard.reports;
    ASSERT_GE(reports.size(), 3U);
    EXPECT_EQ(reports[0], Report(TQUploadProgressStateProcessing, 0, 0));
    EXPECT_EQ(reports[1], Report(TQUploadProgressStateStarted, 0, 0));
    const auto lastUploading = std::find_if(
        reports.rbegin(), reports.rend(),
        [](const Report& report) { return std::get<0>(report) == TQUploadProgressStateUploading; });
    ASSERT_NE(lastUploading, reports.rend());
    EXPECT_EQ(*lastUploading, Report(TQUploadProgressStateUploading, c.size, c.size))
        << "per-chunk progress adds up to the file, not past it";
    EXPECT_TRUE(std::is_sorted(
        reports.begin() + 2, reports.end(),
        [](const Report& a, const Report& b) { return std::get<1>(a) < std::get<1>(b); }));
    if (chunked) {
      EXPECT_EQ(reports.back(), Report(TQUploadProgressStateProcessing, c.size, c.size));
    }
    EXPECT_FALSE(heard.reportedAfterCompletion);
  }
  tq::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(UploadTest, ANameAtTheFileSystemsLimitGoesInChunks) {
  // The local name fills the 255 bytes a name may have, so "<name>(<n>)" could not; the server's
  // name is longer still. Both are two-byte letters, so a cut in the wrong place would show.
  std::string remote;
  while (remote.size() < 300) {
    remote += "\xC3\xA9";
  }
  const std::string local = remote.substr(0, 254) + "x";
  const int64_t size = kWholeFileLimit + 1;
  const auto heard = upload(record(remote), source(size, local))->heard();
  ASSERT_EQ(heard.completions, 1);
  ASSERT_NE(heard.metadata, nullptr);
  EXPECT_EQ(heard.metadata->name(), remote);
  EXPECT_EQ(tq::sha256(tree().readContent("/Documents/" + remote, 0, size).value_or("")),
            testserver::patternSha256(size));
  EXPECT_EQ(server().requests(testserver::uploadBytesPath(1)).size(), 3U);
  EXPECT_TRUE(documentsEntries().empty()) << "no chunk file is left";
}

TEST_F(UploadTest, AFailureAtAnyStepKeepsTheFileLeavesNoChunkAndReportsOnce) {
  const int64_t chunked = kWholeFileLimit + kChunkSize;  // three chunks
  const struct {
    int64_t size;
    std::function<void(testserver::UploadState&)> arrange;
    int status;  // of the outcome; 0 for a transport failure
    bool error;
    const char* why;
  } cases[] = {
      {100, [](auto& s) { s.failNext(UploadStep::Intent, {.status = 503, .body = "{}"}); }, 503,
       false, "the intent is refused"},
      {100,
       [](auto& s) {
         s.failNext(UploadStep::Intent, {.body = R"({"uploadurls": {"uploadurl": 7}})"});
       },
       200, true, "the intent answers no usable upload URL"},
      {chunked,
       [](auto& s) {
         s.failNext(UploadStep::Intent,
                    {.body = R"({"uploadurls": {"uploadurl": "http://127.0.0.1:1/u"}})"});
       },
       200, true, "a chunked intent answers no commit URL"},
      {chunked, [](auto& /*s*/) { limitFileSize(kChunkSize / 2); }, 0, true,
       "a chunk file cannot be written"},
      {100, [](auto& s) { s.failNext(UploadStep::Bytes, {.status = 500, .body = "{}"}); }, 500,
       false, "the whole file is refused"},
      {100, [](auto& s) { dropTwice(s, 10); }, 0, true,
       "the connection drops while the whole file goes"},
      {chunked, [](auto& s) { s.failNext(UploadStep::Bytes, {.status = 507, .body = "{}"}); }, 507,
       false, "a chunk is refused"},
      {chunked, [](auto& s) { dropTwice(s, 65536); }, 0, true, "the connection drops mid-chunk"},
      {chunked,
       [](auto& s) {
         for (int i = 0; i < 3; ++i) {
           s.failNext(UploadStep::Bytes, {.status = 500, .body = "{}"});
         }
       },
       500, false, "every chunk fails at once"},
      {chunked, [](auto& s) { s.failNext(UploadStep::Commit, {.status = 500, .body = "{}"}); }, 500,
       false, "the commit is refused"},
      {100, [](auto& s) { s.failNext(UploadStep::Bytes, storedAsHTML()); }, 201, true,
       "the whole file's 201 is a page, not the stored file"},
      {100, [](auto& s) { s.failNext(UploadStep::Bytes, {.status = 201, .body = R"({"id":1})"}); },
       201, true, "the whole file's 201 holds no \"file\""},
      {chunked, [](auto& s) { s.failNext(UploadStep::Commit, storedAsHTML()); }, 201, true,
       "the commit's 201 is a page, not the stored file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto path = source(c.size);
    c.arrange(uploads());
    server().clearLog();
    const auto heard = upload(record(), path)->heard();
    limitFileSize(RLIM_INFINITY);

    EXPECT_EQ(heard.completions, 1);
    EXPECT_EQ(heard.metadata, nullptr);
    EXPECT_EQ(heard.response->statusCode(), c.status);
    EXPECT_EQ(heard.response->error().has_value(), c.error);
    ASSERT_TRUE(std::filesystem::exists(path)) << "the local file stays";
    EXPECT_EQ(tq::sha256OfFile(path), testserver::patternSha256(c.size));
    EXPECT_TRUE(documentsEntries().empty()) << "no chunk file is left";
    EXPECT_FALSE(tree().resourceObject("/Documents/upload.bin"));
    EXPECT_FALSE(heard.reportedAfterCompletion);
    const bool commitSent = std::string_view(c.why).starts_with("the commit");
    EXPECT_EQ(requestsUnder("/cloud/1/fileupload/commit/").size(), commitSent ? 1U : 0U);
  }
}

TEST_F(UploadTest, BadEntriesRaiseBeforeAnythingIsReportedOrSent) {
  const auto file = source(10);
  const auto empty = source(0, "empty.bin");
  const struct {
    std::function<void()> arrange;
    std::shared_ptr<TQUploadAPIParams> params;
    std::filesystem::path path;
    std::string reason;
  } cases[] = {
      {[] { facade()->setAuthenticationCredetials(nullptr); }, record(), file,
       "access_token <REQUIRED PARAMETER> is missing."},
      {[] {}, record(), sources() / "missing.bin",
       "Local Path Invalid<REQUIRED PARAMETER> is missing."},
      {[] {}, record(), sources(), "Local Path Invalid<REQUIRED PARAMETER> is missing."},
      {[] {}, nullptr, file, "All required parameters missing."},
      {[] {}, record("upload.bin", ""), file, "path <REQUIRED PARAMETER> is missing."},
      {[] {}, record(""), file, "name <REQUIRED PARAMETER> is missing."},
      {[] {}, record(), empty, "size <REQUIRED PARAMETER> is missing."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    signIn();
    c.arrange();
    UploadRun run;
    try {
      facade()->uploadFile(c.params, c.path.string(), run.progressHandler(),
                           run.completionHandler());
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.name(), NSInvalidArgumentException);
      EXPECT_EQ(e.reason(), c.reason);
    }
    drainMainQueue();
    EXPECT_TRUE(run.heard().reports.empty());
    EXPECT_EQ(run.heard().completions, 0);
  }
  EXPECT_TRUE(server().requests().empty());
  EXPECT_EQ(facade()->apiArray().count(), 0U);
}

TEST_F(UploadTest, AFileThatCannotBeHashedEndsWithAnErrorAndSendsNothing) {
  const auto path = source(100);
  UploadRun run;
  // The first report comes on this thread before the file is read: it takes the file away.
  facade()->uploadFile(
      record(), path.string(),
      [&run, path, progress = run.progressHandler()](TQUploadProgressState state, int64_t done,
                                                     int64_t total) {
        std::filesystem::remove(path);
        progress(state, done, total);
      },
      run.completionHandler());
  ASSERT_TRUE(run.wait());
  settle();
  const auto heard = run.heard();
  EXPECT_EQ(heard.completions, 1);
  EXPECT_EQ(heard.metadata, nullptr);
  EXPECT_EQ(heard.response->statusCode(), 0);
  EXPECT_TRUE(heard.response->error().has_value());
  EXPECT_TRUE(server().requests().empty());
}

TEST_F(UploadTest, ARefusedTokenOnAChunkIsRenewedAndThatChunkFileSentAgain) {
  auto& oauth = server().state<testserver::OAuthState>();
  const auto issued = oauth.issueTokens("client-1");
  facade()->setClientCredentials(
      TQClientCredentials::initWithClientID("client-1", "secret-1", "test://done", "kc-1"));
  auto tokens = std::make_shared<TQAuthenticationResponse>();
  tokens->setAccessToken(issued.accessToken);
  tokens->setRefreshToken(issued.refreshToken);
  facade()->setAuthenticationCredetials(tokens);
  uploads().failNext(UploadStep::Bytes, {.status = 401, .body = R"({"error":"invalid_token"})"});

  const int64_t size = kWholeFileLimit + 1;
  const auto heard = upload(record(), source(size))->heard();
  ASSERT_EQ(heard.completions, 1);
  EXPECT_EQ(heard.response->statusCode(), 201);
  EXPECT_EQ(oauth.refreshCallCount(), 1);
  const std::string renewed = facade()->authenticationCredetials()->accessToken();
  EXPECT_NE(renewed, issued.accessToken);

  const auto posts = requestsUnder("/cloud/1/fileupload/upload/");
  ASSERT_EQ(posts.size(), 4U) << "three chunks, one of them twice";
  const auto& refused = posts[0];
  const auto resent = std::find_if(posts.begin() + 1, posts.end(),
                                   [&](const auto& post) { return post.target == refused.target; });
  ASSERT_NE(resent, posts.end());
  EXPECT_EQ(resent->header("Authorization"), "Bearer " + renewed);
  EXPECT_EQ(resent->bodySha256, refused.bodySha256) << "the same chunk file, whole";
  EXPECT_GT(resent->bodyLength, 0);
  EXPECT_EQ(heard.reports.back(), Report(TQUploadProgressStateProcessing, size, size))
      << "the resent chunk is not counted twice";
  EXPECT_TRUE(documentsEntries().empty());
}

TEST_F(UploadTest, AnHttpsServerNamingAnHttpURLEndsTheUploadBeforeAnythingIsSent) {
  const std::string http = server().baseURL();
  const auto path = source(100);
  // The stand-in speaks no TLS: the intent goes over http, and the base turns https while its
  // answer is held, before the URLs are read.
  const auto held = std::make_shared<testserver::Gate>();
  const tq::JSON urls = {{"uploadurl", http + "/cloud/1/fileupload/upload/1"}};
  uploads().failNext(UploadStep::Intent,
                     {.body = tq::JSON{{"uploadurls", urls}}.dump(), .holdUntil = held});
  const auto run = start(record(), path);
  ASSERT_TRUE(held->waitForWaiters(1, std::chrono::seconds(30)));
  writeServerSettings("https" + http.substr(http.find(':')));
  held->open();
  ASSERT_TRUE(run->wait());
  settle();

  const auto heard = run->heard();
  EXPECT_EQ(heard.completions, 1);
  EXPECT_EQ(heard.metadata, nullptr);
  ASSERT_TRUE(heard.response->error());
  EXPECT_EQ(heard.response->error()->code(), tq::URLError::SecureConnectionFailed);
  EXPECT_EQ(heard.reports, std::vector<Report>{Report(TQUploadProgressStateProcessing, 0, 0)});
  EXPECT_EQ(server().requests().size(), 1U) << "the intent alone";
  EXPECT_EQ(tq::sha256OfFile(path), testserver::patternSha256(100));
}

TEST(UploadURLTest, TheTokenOfAnHttpsServerGoesOverHttpsOnly) {
  const struct {
    std::optional<std::string> base;
    const char* url;
    bool allowed;
  } cases[] = {
      {"https://cloud.test", "http://cloud.test/u", false},
      {"HTTPS://cloud.test", "http://other.test/u", false},
      {"https://cloud.test", "ftp://cloud.test/u", false},
      {"https://cloud.test", "no url", false},
      {"https://cloud.test", "HTTPS://cloud.test/u", true},
      {"https://cloud.test", "https://uploads.other.test:8443/u", true},
      {"http://cloud.test", "http://other.test/u", true},
      {std::nullopt, "http://cloud.test/u", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.base.value_or("(no base)") + " -> " + c.url);
    EXPECT_EQ(TQUploadURLs::mayReceiveToken(c.base, c.url), c.allowed);
    const TQUploadURLs asCommit{"https://cloud.test/u", c.url};
    EXPECT_EQ(asCommit.refusalFor(c.base).has_value(), !c.allowed);
  }
}

TEST(UploadURLTest, ParametersJoinTheServersQueryAsItStands) {
  const struct {
    const char* serverURL;
    const char* expected;
  } cases[] = {
      {"http://h/u", "http://h/u?offset=2"},
      {"http://h/u?id=1", "http://h/u?id=1&offset=2"},
      {"http://h/u?sig=a%2Fb%20c", "http://h/u?sig=a%2Fb%20c&offset=2"},
      {"http://h/u?", "http://h/u?offset=2"},
      {"http://h/u?id=1&", "http://h/u?id=1&offset=2"},
      {"http://h/u?id=1#part", "http://h/u?id=1&offset=2#part"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TQUploadAPI::urlByAppendingParameter(c.serverURL, "offset", "2"), c.expected);
  }
}

}  // namespace
}  // namespace uploadtest
