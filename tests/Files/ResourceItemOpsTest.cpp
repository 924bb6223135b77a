// The per-item operations: each answers an item of its receiver's own kind, read from the answer
// whatever its status, through the facade's file operations and the stand-in service's tree.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQFolder.h"
#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "QuenlarCloudAPI/Model/TQResourceItem_FOPSOperation.h"
#include "QuenlarCloudAPI/Model/TQVideo.h"
#include "tests/Files/FilesTestSupport.h"
#include "tests/support/ServerFixture.h"
#include "testserver/Gate.h"
#include "testserver/ResourceTree.h"

namespace {

namespace ops = TQResourceItem_FOPSOperation;
using Item = std::shared_ptr<TQResourceItem>;
using Outcome = filestest::Outcome<TQResourceItem>;
using ItemOperation = std::function<void(const Item&, TQResourceItemCompletionHandler)>;

std::shared_ptr<TQFOPSAPIParams> transfer(std::string source, std::string target) {
  auto params = std::make_shared<TQFOPSAPIParams>();
  params->source = std::move(source);
  params->target = std::move(target);
  return params;
}

ItemOperation moveTo(const std::string& target) {
  return [target](const Item& item, TQResourceItemCompletionHandler handler) {
    ops::moveItem(item, transfer(item->fullPath().value_or(""), target), std::move(handler));
  };
}
ItemOperation copyTo(const std::string& target) {
  return [target](const Item& item, TQResourceItemCompletionHandler handler) {
    ops::copyItem(item, transfer(item->fullPath().value_or(""), target), std::move(handler));
  };
}
ItemOperation renameTo(const std::string& name) {
  return [name](const Item& item, TQResourceItemCompletionHandler handler) {
    ops::renameItem(item, transfer(item->fullPath().value_or(""), name), std::move(handler));
  };
}

Outcome run(const Item& item, const ItemOperation& operation) {
  return filestest::await<TQResourceItem>(
      [&](TQResourceItemCompletionHandler handler) { operation(item, std::move(handler)); });
}

class ResourceItemOpsTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    tree().addVirtualFolder("Media");
    tree().addFolder("/Media/Archive");
    tree().addFile("/Media/song.mp3");
  }

  testserver::ResourceTree& tree() { return server().state<testserver::ResourceTree>(); }

  template <class Kind>
  Item itemAt(const std::string& path) {
    return Kind::initWithDict(tree().resourceObject(path).value());
  }
};

TEST_F(ResourceItemOpsTest, AnswersAnItemOfTheReceiversKind) {
  const std::string object = R"({"name": "new.jpg", "path": "/Media/new.jpg"})";
  const struct {
    Item receiver;
    const char* route;
    ItemOperation operation;
    std::string answer;
    std::optional<std::type_index> kind;  // nullopt: no item
    const char* why;
  } cases[] = {
      {std::make_shared<TQPhoto>(), "move", moveTo("/x"), R"({"folder": )" + object + "}",
       typeid(TQPhoto), "a photo before the file it derives from"},
      {std::make_shared<TQAudio>(), "rename", renameTo("x"), R"({"file": )" + object + "}",
       typeid(TQAudio), "an audio file, renamed"},
      {std::make_shared<TQVideo>(), "copy", copyTo("/x"), R"({"folder": )" + object + "}",
       typeid(TQVideo), "a video"},
      {std::make_shared<TQFile>(), "move", moveTo("/x"), R"({"folder": )" + object + "}",
       typeid(TQFile), "a plain file"},
      {std::make_shared<TQFolder>(), "move", moveTo("/x"), R"({"folder": )" + object + "}",
       typeid(TQFolder), "a folder"},
      {std::make_shared<TQResourceItem>(), "move", moveTo("/x"), R"({"folder": )" + object + "}",
       std::nullopt, "an item of no kind"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    c.receiver->setFullPath("/Media/old.jpg");
    server().scriptOnce("POST", std::string("/cloud/1/fops/") + c.route,
                        {.status = 200, .body = c.answer});
    const auto outcome = run(c.receiver, c.operation);
    EXPECT_TRUE(outcome.onMainQueue);
    EXPECT_EQ(outcome.response->statusCode(), 200);
    ASSERT_EQ(outcome.model != nullptr, c.kind.has_value());
    if (c.kind) {
      EXPECT_EQ(std::type_index(typeid(*outcome.model)), *c.kind);
      EXPECT_NE(outcome.model, c.receiver) << "a new item, the receiver untouched";
      EXPECT_EQ(outcome.model->fullPath(), "/Media/new.jpg");
      EXPECT_EQ(c.receiver->fullPath(), "/Media/old.jpg");
    }
  }
}

TEST_F(ResourceItemOpsTest, TheItemIsBuiltWhateverTheStatus) {
  const struct {
    const char* route;
    ItemOperation operation;
    std::string answer;
    int status;
    bool item;  // an item built from nothing, or none
    const char* why;
  } cases[] = {
      {"copy", copyTo("/x"), R"({"error": "not found"})", 404, true, "a failure without folder"},
      {"move", moveTo("/x"), "not json", 200, true, "no JSON at all"},
      {"rename", renameTo("x"), "{}", 200, true, "a rename answer without a member"},
      {"move", moveTo("/x"), R"({"folder": "text"})", 200, false, "a member that is no object"},
      {"rename", renameTo("x"), R"({"file": [1]})", 200, false, "a first member that is no object"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const Item photo = std::make_shared<TQPhoto>();
    photo->setFullPath("/Media/p.jpg");
    photo->setName("p.jpg");
    server().scriptOnce("POST", std::string("/cloud/1/fops/") + c.route,
                        {.status = c.status, .body = c.answer});
    const auto outcome = run(photo, c.operation);
    EXPECT_EQ(outcome.response->statusCode(), c.status);
    ASSERT_EQ(outcome.model != nullptr, c.item);
    if (c.item) {
      EXPECT_NE(std::dynamic_pointer_cast<TQPhoto>(outcome.model), nullptr);
      const auto nothing = TQPhoto::initWithDict(tq::JSON::object());
      EXPECT_EQ(outcome.model->fullPath(), nothing->fullPath());
      EXPECT_FALSE(outcome.model->uri().has_value());
    }
  }
}

TEST_F(ResourceItemOpsTest, MovingAnItemOnTheTreeAnswersItAtItsNewPlace) {
  const auto song = itemAt<TQAudio>("/Media/song.mp3");
  const auto outcome = run(song, moveTo("/Media/Archive"));
  EXPECT_EQ(outcome.response->statusCode(), 200);
  const auto moved = std::dynamic_pointer_cast<TQAudio>(outcome.model);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->fullPath(), "/Media/Archive/song.mp3");
  EXPECT_NE(moved->uri(), song->uri());
  EXPECT_TRUE(tree().resourceObject("/Media/Archive/song.mp3"));
}

TEST_F(ResourceItemOpsTest, AReceiverReleasedBeforeTheAnswerGetsNoItem) {
  const auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce("POST", "/cloud/1/fops/move",
                      {.status = 200, .body = R"({"folder": {"name": "a"}})", .holdUntil = gate});
  auto waiter = std::make_shared<filestest::Waiter<TQResourceItem>>();
  {
    const Item folder = std::make_shared<TQFolder>();
    folder->setFullPath("/Media/Archive");
    moveTo("/x")(folder, [waiter](const Item& item, const auto& response) {
      waiter->record(item, response);
    });
  }
  ASSERT_TRUE(server().waitForRequests(1, testsupport::kTimeout));
  gate->open();
  ASSERT_TRUE(waiter->done.wait());
  EXPECT_EQ(waiter->outcome.model, nullptr);
  EXPECT_EQ(waiter->outcome.response->statusCode(), 200);
}

TEST_F(ResourceItemOpsTest, DeletingSendsTheItemsPathToTheTrash) {
  const auto song = itemAt<TQAudio>("/Media/song.mp3");
  const auto outcome = filestest::awaitResponse([&](TQAPICompletionHandler handler) {
    ops::deleteItemWithCompletionHandler(*song, std::move(handler));
  });
  EXPECT_EQ(outcome.response->statusCode(), 204);
  EXPECT_TRUE(outcome.onMainQueue);
  ASSERT_EQ(server().requests().size(), 1U);
  EXPECT_EQ(server().requests()[0].target, "/cloud/1/fops/delete?path=/Media/song.mp3&purge=false");
  EXPECT_EQ(tree().resourceObject("/Media/song.mp3")->at("deleted"), true);
}

TEST_F(ResourceItemOpsTest, NoReceiverRaisesWithNothingSent) {
  EXPECT_THROW(ops::moveItem(nullptr, transfer("/a", "/b"), nullptr), TQException);
  EXPECT_THROW(ops::copyItem(std::make_shared<TQFile>(), transfer("", "/b"), nullptr), TQException)
      << "the record goes to the facade as the host filled it";
  EXPECT_TRUE(server().requests().empty());
}

}  // namespace
