// Virtual folders end to end: the facade, the calls and the stand-in service's resource tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQCreateVFolderAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQDeleteVFolderAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQRenameVFolderAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ResourceTree.h"

namespace {

struct Delivery {
  testsupport::Latch done;
  std::shared_ptr<TQResource> folder;
  std::shared_ptr<TQAPIQueryResponse> response;
  bool onMainQueue = false;
};

std::shared_ptr<TQCreateVFolderAPIParams> createRecord(const std::string& name) {
  auto params = std::make_shared<TQCreateVFolderAPIParams>();
  params->folderName = name;
  return params;
}

std::shared_ptr<TQRenameVFolderAPIParams> renameRecord(const std::string& src,
                                                       const std::string& target) {
  auto params = std::make_shared<TQRenameVFolderAPIParams>();
  params->src = src;
  params->target = target;
  return params;
}

std::shared_ptr<TQDeleteVFolderAPIParams> deleteRecord(const std::string& name,
                                                       std::optional<bool> force) {
  auto params = std::make_shared<TQDeleteVFolderAPIParams>();
  params->folderName = name;
  if (force) {
    params->force = *force;
  }
  return params;
}

class VirtualFolderTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    tree().addVirtualFolder("Photos");
    tree().addVirtualFolder("My Music");
    tree().addFile("/My Music/song.mp3");
  }

  testserver::ResourceTree& tree() { return server().state<testserver::ResourceTree>(); }

  bool hasVirtualFolder(const std::string& name) {
    const auto names = tree().virtualFolderNames();
    return std::find(names.begin(), names.end(), name) != names.end();
  }

  template <class Start>
  static std::shared_ptr<Delivery> deliver(Start start) {
    auto delivery = std::make_shared<Delivery>();
    start([delivery](const std::shared_ptr<TQResource>& folder,
                     const std::shared_ptr<TQAPIQueryResponse>& response) {
      delivery->folder = folder;
      delivery->response = response;
      delivery->onMainQueue = tq::mainQueue().isCurrent();
      delivery->done.countDown();
    });
    EXPECT_TRUE(delivery->done.wait());
    return delivery;
  }

  testserver::LoggedRequest lastRequest() {
    const auto requests = server().requests();
    EXPECT_FALSE(requests.empty());
    return requests.empty() ? testserver::LoggedRequest{} : requests.back();
  }
};

TEST_F(VirtualFolderTest, Create) {
  const struct {
    std::string name;
    std::string target;
    int status;
    bool created;
    const char* why;
  } cases[] = {
      {"Holiday 2024", "/cloud/1/virtualfolder/Holiday%202024", 201, true, "blank encoded"},
      {"a?b", "/cloud/1/virtualfolder/a%3Fb", 201, true, "a ? stays in the name"},
      {"..", "/cloud/1/virtualfolder/%2E%2E", 400, false, "no dot segment leaves the endpoint"},
      {"Photos", "/cloud/1/virtualfolder/Photos", 409, false, "the name is taken"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto delivery = deliver([&](TQVirtualFolderCompletionHandler handler) {
      TQAPISDK::sharedInstance()->createVirtualFolder(createRecord(c.name), std::move(handler));
    });
    const auto request = lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, c.target);
    EXPECT_EQ(request.bodyLength, 0);
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Authorization"), "Bearer test-access-token");
    EXPECT_EQ(delivery->response->statusCode(), c.status);
    EXPECT_TRUE(delivery->onMainQueue);
    EXPECT_EQ(hasVirtualFolder(c.name), c.created || c.name == "Photos");
    ASSERT_EQ(delivery->folder != nullptr, c.created);
    if (c.created) {
      EXPECT_EQ(delivery->folder->name(), c.name);
    }
  }
}

TEST_F(VirtualFolderTest, RenameSendsBothNamesAndHandsBackTheRenamedFolder) {
  const auto delivery = deliver([](TQVirtualFolderCompletionHandler handler) {
    TQAPISDK::sharedInstance()->renameVirtualFolder(renameRecord("Photos", "Pictures"),
                                                    std::move(handler));
  });
  const auto request = lastRequest();
  EXPECT_EQ(request.method, "PUT");
  EXPECT_EQ(request.target, "/cloud/1/virtualfolder");
  EXPECT_EQ(request.body, R"({"src":"Photos","target":"Pictures"})");
  EXPECT_EQ(request.header("Content-Type"), "application/json");
  EXPECT_EQ(delivery->response->statusCode(), 200);
  ASSERT_NE(delivery->folder, nullptr);
  EXPECT_EQ(delivery->folder->name(), "Pictures");
  EXPECT_TRUE(hasVirtualFolder("Pictures"));
  EXPECT_FALSE(hasVirtualFolder("Photos"));
}

TEST_F(VirtualFolderTest, WhatTheExpectedStatusGives) {
  const struct {
    const char* method;
    testserver::Answer answer;
    bool folder;
    const char* why;
  } cases[] = {
      {"PUT", {.status = 200, .body = R"({"ok": true})"}, true, "no folder member: empty record"},
      {"PUT", {.status = 200, .body = "busy"}, false, "not JSON"},
      {"PUT", {.status = 201, .body = R"({"folder": {"name": "x"}})"}, false, "not 200"},
      {"POST", {.status = 200, .body = R"({"folder": {"name": "x"}})"}, false, "not 201"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const bool rename = std::string(c.method) == "PUT";
    server().scriptOnce(c.method, rename ? "/cloud/1/virtualfolder" : "/cloud/1/virtualfolder/x",
                        c.answer);
    const auto delivery = deliver([&](TQVirtualFolderCompletionHandler handler) {
      if (rename) {
        TQAPISDK::sharedInstance()->renameVirtualFolder(renameRecord("a", "b"), std::move(handler));
      } else {
        TQAPISDK::sharedInstance()->createVirtualFolder(createRecord("x"), std::move(handler));
      }
    });
    ASSERT_EQ(delivery->folder != nullptr, c.folder);
    if (c.folder) {
      EXPECT_EQ(delivery->folder->uri(), std::nullopt);
    }
  }
}

TEST_F(VirtualFolderTest, DeleteSendsForceAsANumberAndHandsOnEveryStatus) {
  const struct {
    std::optional<bool> force;
    std::string target;
    int status;
    bool remains;
  } cases[] = {
      {std::nullopt, "/cloud/1/virtualfolder?name=My%20Music&force=0", 409, true},
      {true, "/cloud/1/virtualfolder?name=My%20Music&force=1", 200, false},
      {false, "/cloud/1/virtualfolder?name=My%20Music&force=0", 404, false},
  };
  for (const auto& c : cases) {
    testsupport::Latch done;
    std::shared_ptr<TQAPIQueryResponse> response;
    TQAPISDK::sharedInstance()->deleteVirtualFolder(deleteRecord("My Music", c.force),
                                                    [&](const auto& outcome) {
                                                      response = outcome;
                                                      done.countDown();
                                                    });
    ASSERT_TRUE(done.wait());
    const auto request = lastRequest();
    EXPECT_EQ(request.method, "DELETE");
    EXPECT_EQ(request.target, c.target);
    EXPECT_EQ(response->statusCode(), c.status);
    EXPECT_EQ(hasVirtualFolder("My Music"), c.remains);
  }
}

TEST_F(VirtualFolderTest, ABadRecordRaisesWithNothingSent) {
  auto sdk = TQAPISDK::sharedInstance();
  const auto ignore = [](const auto&, const auto&) {};
  const struct {
    std::function<void()> call;
    std::string reason;
  } cases[] = {
      {[&] { sdk->createVirtualFolder(createRecord(""), ignore); }, "folderName"},
      {[&] { sdk->createVirtualFolder(nullptr, ignore); }, "All required parameters missing."},
      {[&] { sdk->renameVirtualFolder(renameRecord("", ""), ignore); }, "src"},
      {[&] { sdk->renameVirtualFolder(renameRecord("a", ""), ignore); }, "target"},
      {[&] { sdk->deleteVirtualFolder(deleteRecord("", true), [](const auto&) {}); }, "folderName"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    try {
      c.call();
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.reason().rfind(c.reason, 0), 0U) << e.reason();
    }
  }
  EXPECT_EQ(sdk->apiArray().count(), 0U);
  EXPECT_TRUE(server().requests().empty());
}

}  // namespace
