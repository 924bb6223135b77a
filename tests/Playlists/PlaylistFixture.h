// What the playlist tests share: a signed-in facade over a test server holding one playlist of
// photos, and waiting for an operation's one report.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Model/TQPlaylist.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/AwaitDelivery.h"
#include "tests/support/ServerFixture.h"
#include "testserver/PlaylistState.h"
#include "testserver/ResourceTree.h"

namespace playlisttest {

// What an operation reported: its model (nil when it has none) and its outcome.
template <class Model>
using Report = testsupport::Delivered<Model>;
using testsupport::await;

// The outcome of an operation that reports its outcome alone.
template <class Start>
std::shared_ptr<TQAPIQueryResponse> awaitResponse(Start start) {
  return testsupport::awaitResponse(start).response;
}

using Playlists = std::optional<std::vector<std::shared_ptr<TQPlaylist>>>;
using Items = std::optional<std::vector<std::shared_ptr<TQResource>>>;
using Names = std::vector<std::string>;

template <class Record>
Names namesOf(const std::vector<std::shared_ptr<Record>>& records) {
  Names names;
  for (const auto& record : records) {
    names.push_back(record->name().value_or("<nil>"));
  }
  return names;
}

class PlaylistFixture : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    auto& tree = server().state<testserver::ResourceTree>();
    tree.addVirtualFolder("Photos");
    tree.addFile("/Photos/a.jpg");
    tree.addFile("/Photos/b.jpg");
    state().addPlaylist({{"uid", "pl-1"}, {"name", "Trip"}, {"type", "image"}});
    state().addItem("pl-1", {{"name", "a.jpg"}, {"path", "/Photos/a.jpg"}, {"itemuid", "it-1"}},
                    "bytes of a");
  }

  testserver::PlaylistState& state() { return server().state<testserver::PlaylistState>(); }

  static std::shared_ptr<TQAPISDK> sdk() { return TQAPISDK::sharedInstance(); }
};

}  // namespace playlisttest
