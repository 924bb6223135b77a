// The file operations end to end: the records' members and checks, the requests, the models read
// for each status, and the stand-in service's tree changed by each operation.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCopyAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCreateFolderAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQDeleteAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQMoveAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRenameAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRestoreAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "tests/Files/FilesTestSupport.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ResourceTree.h"

namespace {

using Outcome = filestest::Outcome<TQResource>;
// Starts one operation with a handler of (item or nullptr, response).
using Operation = std::function<void(TQResourceCompletionHandler)>;

std::shared_ptr<TQCreateFolderAPIParams> folderRecord(std::string path, std::string name,
                                                      std::optional<std::string> rule = {}) {
  auto params = std::make_shared<TQCreateFolderAPIParams>();
  params->path = std::move(path);
  params->name = std::move(name);
  params->overrideRule = std::move(rule);
  return params;
}

struct Transfer {
  std::string source;
  std::string target;
  std::string safe;
  std::string conflictsolve;
  std::string overrideRule;
};

std::shared_ptr<TQFOPSAPIParams> transferRecord(const Transfer& fields) {
  auto params = std::make_shared<TQFOPSAPIParams>();
  params->source = fields.source;
  params->target = fields.target;
  params->safe = fields.safe;
  params->conflictsolve = fields.conflictsolve;
  params->overrideRule = fields.overrideRule;
  return params;
}

std::shared_ptr<TQDeleteParams> deleteRecord(std::string path, bool purge) {
  auto params = std::make_shared<TQDeleteParams>();
  params->path = std::move(path);
  params->purge = purge;
  return params;
}

std::shared_ptr<TQRestoreAPIParams> restoreRecord(std::vector<std::string> paths) {
  auto params = std::make_shared<TQRestoreAPIParams>();
  params->paths = std::move(paths);
  return params;
}

TQAPISDK& facade() { return *TQAPISDK::sharedInstance(); }

Operation createFolder(const std::shared_ptr<TQCreateFolderAPIParams>& params) {
  return [params](TQResourceCompletionHandler h) { facade().createFolder(params, std::move(h)); };
}
Operation copy(const Transfer& fields) {
  return [params = transferRecord(fields)](TQResourceCompletionHandler h) {
    facade().copy(params, std::move(h));
  };
}
Operation move(const Transfer& fields) {
  return [params = transferRecord(fields)](TQResourceCompletionHandler h) {
    facade().move(params, std::move(h));
  };
}
Operation rename(const Transfer& fields) {
  return [params = transferRecord(fields)](TQResourceCompletionHandler h) {
    facade().rename(params, std::move(h));
  };
}
// The response-only operations, with the handler's item always nullptr.
Operation deletePath(const std::shared_ptr<TQDeleteParams>& params) {
  return [params](const TQResourceCompletionHandler& h) {
    facade().deletePath(params, [h](const auto& response) { h(nullptr, response); });
  };
}
Operation restore(const std::shared_ptr<TQRestoreAPIParams>& params) {
  return [params](const TQResourceCompletionHandler& h) {
    facade().restore(params, [h](const auto& response) { h(nullptr, response); });
  };
}

Outcome run(const Operation& operation) { return filestest::await<TQResource>(operation); }

class FileOpsTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    tree().addVirtualFolder("Photos");
    tree().addFile("/Photos/a.jpg");
    tree().addFile("/Photos/b.jpg");
  }

  testserver::ResourceTree& tree() { return server().state<testserver::ResourceTree>(); }
};

TEST_F(FileOpsTest, RequestsCarryTheMembersTheirRecordsSet) {
  const struct {
    Operation operation;
    const char* method;
    std::string target;
    std::string body;
    const char* why;
  } cases[] = {
      {createFolder(folderRecord("/Photos", "New", "")), "POST", "/cloud/1/fops/createfolder",
       R"({"name":"New","path":"/Photos","override":""})", "an empty override rule is sent"},
      {createFolder(folderRecord("/Photos", "a&b c")), "POST", "/cloud/1/fops/createfolder",
       R"({"name":"a&b c","path":"/Photos"})", "no rule, no override; texts unencoded"},
      {copy({"/a", "/b"}), "POST", "/cloud/1/fops/copy", R"({"src":"/a","target":"/b"})",
       "a copy with nothing optional"},
      {copy({"/a", "/b", "1", "keep", "x"}), "POST", "/cloud/1/fops/copy",
       R"({"src":"/a","target":"/b","safe":"1","conflictsolve":"keep","override":"x"})",
       "a copy with every optional text"},
      {move({"/a", "/b", "1", "", "x"}), "POST", "/cloud/1/fops/move",
       R"({"src":"/a","target":"/b","safe":"1"})", "a move never sends override"},
      {rename({"/a", "c", "", "keep", "x"}), "POST", "/cloud/1/fops/rename",
       R"({"src":"/a","target":"c","conflictsolve":"keep"})", "a rename never sends override"},
      {restore(restoreRecord({"/a"})), "POST", "/cloud/1/fops/restore", R"({"path":["/a"]})",
       "one path is still a list"},
      {deletePath(deleteRecord("/Photos/a b&c=d#e.jpg", false)), "DELETE",
       "/cloud/1/fops/delete?path=/Photos/a%20b%26c%3Dd%23e.jpg&purge=false", "",
       "the path encoded as a query value, slashes kept"},
      {deletePath(deleteRecord("/a", true)), "DELETE", "/cloud/1/fops/delete?path=/a&purge=true",
       "", "purge"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    const std::string path = c.target.substr(0, c.target.find('?'));
    server().scriptOnce(c.method, path, {.status = 200, .body = "{}"});
    run(c.operation);
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].method, c.method);
    EXPECT_EQ(requests[0].target, c.target);
    EXPECT_EQ(requests[0].body, c.body);
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer test-access-token");
    EXPECT_EQ(requests[0].header("Accept"), "application/json");
    EXPECT_EQ(requests[0].header("Content-Type"),
              c.body.empty() ? std::nullopt : std::optional<std::string>("application/json"));
  }
}

TEST_F(FileOpsTest, ChecksNameTheirKeyTranslatedOrAsTheyAre) {
  writeMainBundleStrings({{"path", "PATH"},
                          {"name", "NAME"},
                          {"paths", "PATHS"},
                          {"source", "SOURCE"},
                          {"target", "TARGET"}});
  const struct {
    Operation operation;
    std::string key;
    const char* why;
  } cases[] = {
      {createFolder(folderRecord("", "")), "PATH", "the path first, translated"},
      {createFolder(folderRecord("/Photos", "")), "NAME", "the name, translated"},
      {copy({"", ""}), "source", "never translated"},
      {move({"/a", ""}), "target", "never translated"},
      {rename({"", "b"}), "source", "never translated"},
      {deletePath(deleteRecord("", true)), "path", "the delete's key is never translated"},
      {restore(restoreRecord({})), "PATHS", "translated"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    try {
      c.operation(nullptr);
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.reason(), c.key + " <REQUIRED PARAMETER> is missing.");
    }
  }
  signIn("");
  EXPECT_THROW(copy({"/a", "/b"})(nullptr), TQException) << "the access token comes first";
  EXPECT_THROW(facade().createFolder(nullptr, nullptr), TQException) << "no record at all";
  EXPECT_EQ(facade().apiArray().count(), 0U);
  EXPECT_TRUE(server().requests().empty());
}

TEST_F(FileOpsTest, EachOperationChangesTheTree) {
  const auto created = run(createFolder(folderRecord("/Photos", "Trips")));
  EXPECT_EQ(created.response->statusCode(), 201);
  ASSERT_NE(created.model, nullptr);
  EXPECT_EQ(created.model->fullPath(), "/Photos/Trips");
  EXPECT_TRUE(created.onMainQueue);
  EXPECT_EQ(created.liveCalls, 0U) << "the call leaves the list before the host hears of it";

  const auto copied = run(copy({"/Photos/a.jpg", "/Photos/Trips"}));
  ASSERT_NE(copied.model, nullptr);
  EXPECT_EQ(copied.model->fullPath(), "/Photos/Trips/a.jpg");
  EXPECT_TRUE(tree().resourceObject("/Photos/a.jpg")) << "the original stays";

  const auto oldURI = tree().resourceObject("/Photos/b.jpg")->at("uri").get<std::string>();
  const auto moved = run(move({"/Photos/b.jpg", "/Photos/Trips"}));
  ASSERT_NE(moved.model, nullptr);
  EXPECT_EQ(moved.model->fullPath(), "/Photos/Trips/b.jpg");
  EXPECT_NE(moved.model->uri(), oldURI) << "a moved item gets a new uri";
  EXPECT_FALSE(tree().resourceObject("/Photos/b.jpg"));

  const auto renamed = run(rename({"/Photos/Trips/b.jpg", "c.jpg"}));
  ASSERT_NE(renamed.model, nullptr) << "read from the answer's \"file\" member";
  EXPECT_EQ(renamed.model->name(), "c.jpg");
  EXPECT_EQ(renamed.model->fullPath(), "/Photos/Trips/c.jpg");

  EXPECT_EQ(run(deletePath(deleteRecord("/Photos/Trips/c.jpg", false))).response->statusCode(),
            204);
  EXPECT_EQ(tree().resourceObject("/Photos/Trips/c.jpg")->at("deleted"), true) << "in the trash";
  EXPECT_EQ(run(restore(restoreRecord({"/Photos/Trips/c.jpg"}))).response->statusCode(), 204);
  EXPECT_EQ(tree().resourceObject("/Photos/Trips/c.jpg")->at("deleted"), false);
  EXPECT_EQ(run(deletePath(deleteRecord("/Photos/Trips/c.jpg", true))).response->statusCode(), 204);
  EXPECT_FALSE(tree().resourceObject("/Photos/Trips/c.jpg")) << "purged";

  const auto missing = run(deletePath(deleteRecord("/Photos/nothing.jpg", false)));
  EXPECT_EQ(missing.response->statusCode(), 404) << "a failed delete still reaches the host";
  EXPECT_EQ(missing.liveCalls, 0U);
}

TEST_F(FileOpsTest, AnItemOnlyForTheExpectedStatus) {
  const std::string item = R"({"name": "x.jpg", "uri": "cloud://x"})";
  const std::string folderAnswer = R"({"folder": )" + item + "}";
  const struct {
    Operation operation;
    std::string path;
    int status;
    std::string body;
    std::optional<std::string> uri;  // nullopt: no item; "": an item built from no data
    const char* why;
  } cases[] = {
      {createFolder(folderRecord("/Photos", "x")), "/cloud/1/fops/createfolder", 200, folderAnswer,
       std::nullopt, "creating expects 201"},
      {createFolder(folderRecord("/Photos", "x")), "/cloud/1/fops/createfolder", 201, "{}", "",
       "201 without a folder member"},
      {copy({"/a", "/b"}), "/cloud/1/fops/copy", 200, R"({"error": "odd"})", "",
       "200 without a folder member"},
      {copy({"/a", "/b"}), "/cloud/1/fops/copy", 201, folderAnswer, std::nullopt,
       "copying expects 200"},
      {move({"/a", "/b"}), "/cloud/1/fops/move", 200, folderAnswer, "cloud://x", "a move"},
      {move({"/a", "/b"}), "/cloud/1/fops/move", 200, "not json", std::nullopt, "no JSON"},
      {rename({"/a", "b"}), "/cloud/1/fops/rename", 200, R"({"file": )" + item + "}", "cloud://x",
       "a rename reads its first member, whatever its key"},
      {rename({"/a", "b"}), "/cloud/1/fops/rename", 200,
       R"({"file": {"uri": "first"}, "folder": {"uri": "second"}})", "first",
       "the first of two members"},
      {rename({"/a", "b"}), "/cloud/1/fops/rename", 200, "{}", std::nullopt, "no member"},
      {rename({"/a", "b"}), "/cloud/1/fops/rename", 200, "[1]", std::nullopt, "not an object"},
      {rename({"/a", "b"}), "/cloud/1/fops/rename", 409, R"({"file": {}})", std::nullopt,
       "a conflict"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce("POST", c.path, {.status = c.status, .body = c.body});
    const auto outcome = run(c.operation);
    EXPECT_EQ(outcome.response->statusCode(), c.status);
    ASSERT_EQ(outcome.model != nullptr, c.uri.has_value());
    if (c.uri) {
      EXPECT_EQ(outcome.model->uri().value_or(""), *c.uri);
    }
  }
}

}  // namespace
