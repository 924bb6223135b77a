// The file operations end to end: which members each record sends, which answers give an item,
// and the stand-in service's tree changed by each operation; the per-item operations answering an
// item of their receiver's kind; and the checks of every record here and of the downloads.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCopyAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCreateFolderAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQDeleteAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQMoveAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRenameAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRestoreAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Thumbnail_API/TQThumbnailAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQFile.h"
#include "QuenlarCloudAPI/Model/TQFile_FileOperation.h"
#include "QuenlarCloudAPI/Model/TQFolder.h"
#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "QuenlarCloudAPI/Model/TQResourceItem_FOPSOperation.h"
#include "QuenlarCloudAPI/Model/TQVideo.h"
#include "tests/Files/FilesTestSupport.h"
#include "tests/support/ServerFixture.h"
#include "testserver/Gate.h"
#include "testserver/ResourceTree.h"

namespace {

// One facade operation with its record, started with a handler of (item or nullptr, response).
using Operation = std::function<void(TQResourceCompletionHandler)>;

template <class Call, class Params>
Operation op(std::shared_ptr<Call> (TQAPISDK::*method)(std::shared_ptr<Params>,
                                                       TQResourceCompletionHandler),
             std::shared_ptr<Params> params) {
  return [=](TQResourceCompletionHandler h) { (*TQAPISDK::sharedInstance().*method)(params, h); };
}
template <class Call, class Params>
Operation op(std::shared_ptr<Call> (TQAPISDK::*method)(std::shared_ptr<Params>,
                                                       TQAPICompletionHandler),
             std::shared_ptr<Params> params) {
  return [=](const TQResourceCompletionHandler& h) {
    (*TQAPISDK::sharedInstance().*method)(params, [h](const auto& r) { h(nullptr, r); });
  };
}

auto folder(std::string path, std::string name, std::optional<std::string> rule = {}) {
  auto params = std::make_shared<TQCreateFolderAPIParams>();
  params->path = std::move(path);
  params->name = std::move(name);
  params->overrideRule = std::move(rule);
  return params;
}
auto transfer(std::string source, std::string target, std::string safe = "",
              std::string conflictsolve = "", std::string rule = "") {
  auto params = std::make_shared<TQFOPSAPIParams>();
  params->source = std::move(source);
  params->target = std::move(target);
  params->safe = std::move(safe);
  params->conflictsolve = std::move(conflictsolve);
  params->overrideRule = std::move(rule);
  return params;
}
auto deletion(std::string path, bool purge) {
  auto params = std::make_shared<TQDeleteParams>();
  params->path = std::move(path);
  params->purge = purge;
  return params;
}
auto restoration(std::vector<std::string> paths) {
  auto params = std::make_shared<TQRestoreAPIParams>();
  params->paths = std::move(paths);
  return params;
}

filestest::Outcome<TQResource> run(const Operation& operation) {
  return testsupport::await<std::shared_ptr<TQResource>>(operation);
}

using Item = std::shared_ptr<TQResourceItem>;

// Runs `operation` on `item` against the scripted answer of its route and waits for the handler.
filestest::Outcome<TQResourceItem> runOnItem(testserver::TestServer& server, const Item& item,
                                             const std::string& route, int status,
                                             const std::string& answer) {
  server.scriptOnce("POST", "/cloud/1/fops/" + route, {.status = status, .body = answer});
  return testsupport::await<std::shared_ptr<TQResourceItem>>(
      [&](TQResourceItemCompletionHandler handler) {
        namespace ops = TQResourceItem_FOPSOperation;
        const auto params = transfer("/a", "/b");
        if (route == "move") {
          ops::moveItem(item, params, std::move(handler));
        } else if (route == "copy") {
          ops::copyItem(item, params, std::move(handler));
        } else {
          ops::renameItem(item, params, std::move(handler));
        }
      });
}

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
    std::string target;
    std::string body;
  } cases[] = {
      // An empty override rule is sent by a folder creation, never by a copy.
      {op(&TQAPISDK::createFolder, folder("/P", "N", "")), "/cloud/1/fops/createfolder",
       R"({"name":"N","path":"/P","override":""})"},
      {op(&TQAPISDK::createFolder, folder("/P", "a&b c")), "/cloud/1/fops/createfolder",
       R"({"name":"a&b c","path":"/P"})"},
      {op(&TQAPISDK::copy, transfer("/a", "/b", "", "", "")), "/cloud/1/fops/copy",
       R"({"src":"/a","target":"/b"})"},
      {op(&TQAPISDK::copy, transfer("/a", "/b", "1", "keep", "x")), "/cloud/1/fops/copy",
       R"({"src":"/a","target":"/b","safe":"1","conflictsolve":"keep","override":"x"})"},
      {op(&TQAPISDK::move, transfer("/a", "/b", "1", "", "x")), "/cloud/1/fops/move",
       R"({"src":"/a","target":"/b","safe":"1"})"},
      {op(&TQAPISDK::rename, transfer("/a", "c", "", "keep", "x")), "/cloud/1/fops/rename",
       R"({"src":"/a","target":"c","conflictsolve":"keep"})"},
      {op(&TQAPISDK::restore, restoration({"/a"})), "/cloud/1/fops/restore", R"({"path":["/a"]})"},
      {op(&TQAPISDK::deletePath, deletion("/P/a b&c=d#e.jpg", false)),
       "/cloud/1/fops/delete?path=/P/a%20b%26c%3Dd%23e.jpg&purge=false", ""},
      {op(&TQAPISDK::deletePath, deletion("/a", true)), "/cloud/1/fops/delete?path=/a&purge=true",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target + " " + c.body);
    server().clearLog();
    const char* method = c.body.empty() ? "DELETE" : "POST";
    server().scriptOnce(method, c.target.substr(0, c.target.find('?')), {.body = "{}"});
    run(c.operation);
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].method, method);
    EXPECT_EQ(requests[0].target, c.target);
    EXPECT_EQ(requests[0].body, c.body);
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer test-access-token");
    EXPECT_EQ(requests[0].header("Content-Type"),
              c.body.empty() ? std::nullopt : std::optional<std::string>("application/json"));
  }
}

TEST_F(FileOpsTest, BadRecordsRaiseTheirKeyTranslatedOrAsItIsWithNothingSent) {
  // Translations of every key: those the records pass unchanged show through untranslated.
  writeMainBundleStrings({{"path", "P"}, {"name", "N"}, {"paths", "PS"}, {"source", "S"}});
  const auto ignore = [](const auto&...) {};
  const auto thumbnail = [ignore](auto... fields) {
    return [=, params = filestest::thumbnailRecord(fields...)](const auto&) {
      TQAPISDK::sharedInstance()->downloadThumbnail(params, ignore);
    };
  };
  const struct {
    Operation operation;
    std::string key;
  } cases[] = {
      {op(&TQAPISDK::createFolder, folder("", "")), "P"},
      {op(&TQAPISDK::createFolder, folder("/P", "")), "N"},
      {op(&TQAPISDK::copy, transfer("", "")), "source"},
      {op(&TQAPISDK::move, transfer("/a", "")), "target"},
      {op(&TQAPISDK::deletePath, deletion("", true)), "path"},
      {op(&TQAPISDK::restore, restoration({})), "PS"},
      {[](const auto&) { TQFile_FileOperation::downloadFileWithProgressHandler({}, {}, {}); }, "P"},
      {[](const auto&) { TQFile_FileOperation::downloadThumbnailWithCompletionHandler({}, {}); },
       "content-token missing"},
      {thumbnail("t", "", 320, 0), "(th and tw) or size missing"},
      {thumbnail("t", "l", 320, 320), "invalid size value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    try {
      c.operation(nullptr);
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.reason(), c.key + " <REQUIRED PARAMETER> is missing.");
    }
  }
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
  EXPECT_TRUE(server().requests().empty());
}

TEST_F(FileOpsTest, EachOperationChangesTheTree) {
  const auto created = run(op(&TQAPISDK::createFolder, folder("/Photos", "Trips")));
  EXPECT_EQ(created.response->statusCode(), 201);
  ASSERT_NE(created.model, nullptr);
  EXPECT_EQ(created.model->fullPath(), "/Photos/Trips");
  EXPECT_TRUE(created.onMainQueue);
  EXPECT_EQ(created.liveCalls, 0U) << "the call leaves the list before the host hears of it";

  const auto copied = run(op(&TQAPISDK::copy, transfer("/Photos/a.jpg", "/Photos/Trips")));
  ASSERT_NE(copied.model, nullptr);
  EXPECT_EQ(copied.model->fullPath(), "/Photos/Trips/a.jpg");
  EXPECT_TRUE(tree().resourceObject("/Photos/a.jpg"));

  const auto moved = run(op(&TQAPISDK::move, transfer("/Photos/b.jpg", "/Photos/Trips")));
  ASSERT_NE(moved.model, nullptr);
  EXPECT_EQ(moved.model->fullPath(), "/Photos/Trips/b.jpg");
  EXPECT_FALSE(tree().resourceObject("/Photos/b.jpg"));

  const auto renamed = run(op(&TQAPISDK::rename, transfer("/Photos/Trips/b.jpg", "c d.jpg")));
  ASSERT_NE(renamed.model, nullptr);
  EXPECT_EQ(renamed.model->fullPath(), "/Photos/Trips/c d.jpg");

  const auto status = [&](const Operation& o) { return run(o).response->statusCode(); };
  // An item deletes itself to the trash, its path sent as a query value.
  EXPECT_EQ(testsupport::awaitResponse([&](TQAPICompletionHandler handler) {
              TQResourceItem_FOPSOperation::deleteItemWithCompletionHandler(
                  *TQFile::initWithDict(*tree().resourceObject("/Photos/Trips/c d.jpg")),
                  std::move(handler));
            }).response->statusCode(),
            204);
  EXPECT_EQ(server().requests().back().target,
            "/cloud/1/fops/delete?path=/Photos/Trips/c%20d.jpg&purge=false");
  EXPECT_EQ(tree().resourceObject("/Photos/Trips/c d.jpg")->at("deleted"), true);
  EXPECT_EQ(status(op(&TQAPISDK::restore, restoration({"/Photos/Trips/c d.jpg"}))), 204);
  EXPECT_EQ(tree().resourceObject("/Photos/Trips/c d.jpg")->at("deleted"), false);
  EXPECT_EQ(status(op(&TQAPISDK::deletePath, deletion("/Photos/Trips/c d.jpg", true))), 204);
  EXPECT_FALSE(tree().resourceObject("/Photos/Trips/c d.jpg"));
  EXPECT_EQ(status(op(&TQAPISDK::deletePath, deletion("/Photos/none", false))), 404);
}

TEST_F(FileOpsTest, AnItemOnlyForTheExpectedStatus) {
  const std::string folderAnswer = R"({"folder": {"uri": "x"}})";
  const auto create = op(&TQAPISDK::createFolder, folder("/Photos", "x"));
  const auto copy = op(&TQAPISDK::copy, transfer("/a", "/b"));
  const auto rename = op(&TQAPISDK::rename, transfer("/a", "b"));
  const struct {
    Operation operation;
    const char* path;
    int status;
    std::string body;
    std::optional<std::string> uri;  // nullopt: no item; "": an item with empty fields
  } cases[] = {
      {create, "/cloud/1/fops/createfolder", 200, folderAnswer, std::nullopt},  // expects 201
      {create, "/cloud/1/fops/createfolder", 201, "{}", ""},
      {copy, "/cloud/1/fops/copy", 201, folderAnswer, std::nullopt},  // expects 200
      {copy, "/cloud/1/fops/copy", 200, R"({"error": "odd"})", ""},
      {copy, "/cloud/1/fops/copy", 200, "not json", std::nullopt},
      {rename, "/cloud/1/fops/rename", 200, R"({"file": {"uri": "f"}, "folder": {}})", "f"},
      {rename, "/cloud/1/fops/rename", 200, "{}", std::nullopt},
      {rename, "/cloud/1/fops/rename", 200, "[1]", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.body);
    server().scriptOnce("POST", c.path, {.status = c.status, .body = c.body});
    const auto outcome = run(c.operation);
    EXPECT_EQ(outcome.response->statusCode(), c.status);
    ASSERT_EQ(outcome.model != nullptr, c.uri.has_value());
    if (c.uri) {
      EXPECT_EQ(outcome.model->uri().value_or(""), *c.uri);
    }
  }
}

TEST_F(FileOpsTest, AnswersAnItemOfTheReceiversKindWhateverTheStatus) {
  const std::string object = R"({"uri": "cloud://new"})";
  const struct {
    Item receiver;
    const char* route;
    int status;
    std::string answer;
    std::optional<std::type_index> kind;  // nullopt: no item
    const char* uri;                      // of the item answered
  } cases[] = {
      // The media kinds are told apart before the file kind they derive from.
      {std::make_shared<TQPhoto>(), "move", 200, R"({"folder": )" + object + "}", typeid(TQPhoto),
       "cloud://new"},
      {std::make_shared<TQAudio>(), "rename", 200, R"({"file": )" + object + "}", typeid(TQAudio),
       "cloud://new"},
      {std::make_shared<TQVideo>(), "copy", 200, R"({"folder": )" + object + "}", typeid(TQVideo),
       "cloud://new"},
      {std::make_shared<TQFile>(), "move", 200, R"({"folder": )" + object + "}", typeid(TQFile),
       "cloud://new"},
      {std::make_shared<TQFolder>(), "move", 200, R"({"folder": )" + object + "}", typeid(TQFolder),
       "cloud://new"},
      {std::make_shared<TQResourceItem>(), "move", 200, R"({"folder": )" + object + "}",
       std::nullopt, ""},
      // Without the member the item is built from nothing; a member of another type gives none.
      {std::make_shared<TQPhoto>(), "copy", 404, R"({"error": "x"})", typeid(TQPhoto), ""},
      {std::make_shared<TQPhoto>(), "move", 200, "not json", typeid(TQPhoto), ""},
      {std::make_shared<TQPhoto>(), "rename", 200, "{}", typeid(TQPhoto), ""},
      {std::make_shared<TQPhoto>(), "move", 200, R"({"folder": "text"})", std::nullopt, ""},
      {std::make_shared<TQPhoto>(), "rename", 200, R"({"file": [1]})", std::nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.route) + " " + c.answer);
    c.receiver->setUri("cloud://old");
    const auto outcome = runOnItem(server(), c.receiver, c.route, c.status, c.answer);
    EXPECT_TRUE(outcome.onMainQueue);
    EXPECT_EQ(outcome.response->statusCode(), c.status);
    ASSERT_EQ(outcome.model != nullptr, c.kind.has_value());
    if (c.kind) {
      EXPECT_EQ(std::type_index(typeid(*outcome.model)), *c.kind);
      EXPECT_EQ(outcome.model->uri().value_or(""), c.uri);
      EXPECT_EQ(c.receiver->uri(), "cloud://old") << "a new item; the receiver is untouched";
    }
  }
}

TEST_F(FileOpsTest, AReceiverReleasedBeforeTheAnswerGetsNoItem) {
  const auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce("POST", "/cloud/1/fops/move",
                      {.body = R"({"folder": {"name": "a"}})", .holdUntil = gate});
  const auto outcome = testsupport::await<Item>([&](TQResourceItemCompletionHandler handler) {
    TQResourceItem_FOPSOperation::moveItem(std::make_shared<TQFolder>(), transfer("/a", "/b"),
                                           std::move(handler));
    EXPECT_TRUE(server().waitForRequests(1, testsupport::kTimeout));
    gate->open();
  });
  EXPECT_EQ(outcome.model, nullptr);
  EXPECT_EQ(outcome.response->statusCode(), 200);
  EXPECT_THROW(TQResourceItem_FOPSOperation::moveItem(nullptr, transfer("/a", "/b"), nullptr),
               TQException);
}

}  // namespace
