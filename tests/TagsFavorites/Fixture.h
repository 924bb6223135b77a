// What the tags and favorites tests share: an account with three virtual folders, and starting a
// facade operation with a handler that records what it receives, then waiting for it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/AwaitDelivery.h"
#include "tests/support/ServerFixture.h"
#include "tests/support/TestSupport.h"
#include "testserver/ResourceTree.h"

namespace tagsfavoritestest {

using testsupport::await;
using testsupport::awaitResponse;
using testsupport::Delivered;

class TagsFavoritesFixture : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    auto& tree = server().state<testserver::ResourceTree>();
    tree.addVirtualFolder("Photos");
    tree.addVirtualFolder("My Music");
    tree.addVirtualFolder("Docs");
    tree.addFile("/Photos/a.jpg");
    tree.addFile("/Photos/b.mp4");
    tree.addFolder("/Photos/Trip");
    tree.addFile("/Photos/Trip/c.png");
    // A path cut at "?" would reach "/Photos/x" instead.
    tree.addFile("/Photos/x", {{"systemAttributes", {{"Tags", "wrong"}}}});
    tree.addFile("/Photos/x?y#z.jpg", {{"systemAttributes", {{"Tags", "right"}}}});
    tree.addFile("/Photos/a b.jpg", {{"systemAttributes", {{"Tags", "blank"}}}});
    tree.addFile("/My Music/s.mp3");
    tree.addFolder("/My Music/Live");
    tree.addFile("/Docs/r.pdf");
    tree.addFolder("/Docs/Old");
  }

  testserver::ResourceTree& tree() { return server().state<testserver::ResourceTree>(); }

  // The uri the stand-in service gave the item at `path`.
  std::string uri(const std::string& path) {
    const auto object = tree().resourceObject(path);
    EXPECT_TRUE(object.has_value()) << path;
    return object ? object->value("uri", "") : "";
  }
};

}  // namespace tagsfavoritestest
