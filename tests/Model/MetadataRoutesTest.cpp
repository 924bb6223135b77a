// The stand-in service's metadata listing, read back through TQMetadata as the library will.
#include <gtest/gtest.h>

#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "testserver/MetadataRoutes.h"
#include "testserver/ResourceTree.h"
#include "testserver/TestServer.h"

namespace {

using testserver::ResourceTree;

class MetadataRoutesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testserver::installMetadataRoutes(server_);
    tree().addVirtualFolder("Photos");
    tree().addVirtualFolder("My Music");
    tree().addFolder("/Photos/2024");
    tree().addFile("/Photos/b.jpg", {{"size", 30}});
    tree().addFile("/Photos/a.jpg", {{"size", 10}});
    tree().addFile("/Photos/c.jpg", {{"size", 20}});
    tree().addFile("/Photos/a?b", {{"size", 40}, {"systemAttributes", {{"Tags", "odd"}}}});
    tree().addFile("/Photos/gone.jpg");
    tree().markDeleted("/Photos/gone.jpg");
  }

  ResourceTree& tree() { return server_.state<ResourceTree>(); }

  // The listing at `target`, as the library would build it; nullptr for another status.
  std::shared_ptr<TQMetadata> list(const std::string& target, int* status = nullptr) {
    httplib::Client client("127.0.0.1", server_.port());
    const auto answer = client.Get(target, {{"Authorization", "Bearer token"}});
    if (status != nullptr) {
      *status = answer ? answer->status : -1;
    }
    if (!answer || answer->status != 200) {
      return nullptr;
    }
    lastBody_ = tq::JSON::parse(answer->body);
    return TQMetadata::initWithDict(lastBody_.at("folder"));
  }

  static std::vector<std::string> names(const std::shared_ptr<TQMetadata>& listing) {
    std::vector<std::string> result;
    for (const auto& folder : listing->subFolders()) {
      result.push_back(*folder->name() + "/");
    }
    for (const auto& file : listing->subFiles()) {
      result.push_back(*file->name());
    }
    return result;
  }

  testserver::TestServer server_;
  tq::JSON lastBody_;
};

struct ListingCase {
  const char* reason;
  const char* target;
  std::vector<std::string> expected;
};

TEST_F(MetadataRoutesTest, ListingsWithFiltersSortAndPaging) {
  const ListingCase cases[] = {
      {"the root lists the virtual folders", "/cloud/1/metadata", {"Photos/", "My Music/"}},
      {"a folder lists folders, then files",
       "/cloud/1/metadata/Photos",
       {"2024/", "b.jpg", "a.jpg", "c.jpg", "a?b"}},
      {"an encoded space in a folder name", "/cloud/1/metadata/My%20Music", {}},
      {"deleted items on request",
       "/cloud/1/metadata/Photos?include_deleted=1&filter=file",
       {"b.jpg", "a.jpg", "c.jpg", "a?b", "gone.jpg"}},
      {"files only", "/cloud/1/metadata/Photos?filter=file", {"b.jpg", "a.jpg", "c.jpg", "a?b"}},
      {"folders only", "/cloud/1/metadata/Photos?filter=folder", {"2024/"}},
      {"sorted by a member, descending",
       "/cloud/1/metadata/Photos?filter=file&sort=size+desc",
       {"a?b", "b.jpg", "c.jpg", "a.jpg"}},
      {"a page of two", "/cloud/1/metadata/Photos?page=2&count=2", {"a.jpg", "c.jpg"}},
      {"start counts items", "/cloud/1/metadata/Photos?start=3&count=10", {"c.jpg", "a?b"}},
      {"a page past the end is empty", "/cloud/1/metadata/Photos?page=9&count=2", {}},
  };
  for (const auto& c : cases) {
    const auto listing = list(c.target);
    ASSERT_TRUE(listing) << c.reason;
    EXPECT_EQ(names(listing), c.expected) << c.reason;
  }
}

TEST_F(MetadataRoutesTest, AQuestionMarkInAPathMustBeEncoded) {
  tree().addFolder("/Photos/q?x");
  tree().addFile("/Photos/q?x/inside.txt");
  const auto listing = list("/cloud/1/metadata/Photos/q%3Fx");
  ASSERT_TRUE(listing);
  EXPECT_EQ(names(listing), std::vector<std::string>{"inside.txt"});
  int status = 0;
  EXPECT_FALSE(list("/cloud/1/metadata/Photos/q?x", &status)) << "a raw ? starts the query";
  EXPECT_EQ(status, 404);
}

TEST_F(MetadataRoutesTest, ASingleObjectWhereAListIsExpected) {
  tree().setSingleObjectAnswers(true);
  const auto listing = list("/cloud/1/metadata/Photos?filter=file&count=1");
  ASSERT_TRUE(listing);
  EXPECT_TRUE(lastBody_["folder"]["file"].is_object());
  EXPECT_EQ(names(listing), std::vector<std::string>{"b.jpg"});
}

TEST_F(MetadataRoutesTest, FilesCarryTheMembersOfAResourceObject) {
  const auto listing = list("/cloud/1/metadata/Photos?filter=file&count=1");
  ASSERT_TRUE(listing);
  const auto& file = listing->subFiles().at(0);
  EXPECT_EQ(file->fullPath(), "/Photos/b.jpg");
  EXPECT_EQ(file->parentPath(), "/Photos");
  EXPECT_EQ(file->mimeType(), "image/jpeg");
  EXPECT_EQ(file->file(), true);
  EXPECT_TRUE(file->uri() && file->itemUID() && file->versionCreated() && file->creationDate());
}

struct RefusalCase {
  const char* reason;
  const char* target;
  httplib::Headers headers;
  int status;
};

TEST_F(MetadataRoutesTest, Refusals) {
  const httplib::Headers bearer = {{"Authorization", "Bearer token"}};
  const RefusalCase cases[] = {
      {"no token", "/cloud/1/metadata", {}, 401},
      {"an empty token", "/cloud/1/metadata", {{"Authorization", "Bearer "}}, 401},
      {"no such folder", "/cloud/1/metadata/Nowhere", bearer, 404},
      {"a filter of another case", "/cloud/1/metadata/Photos?filter=Folder", bearer, 400},
      {"a negative count", "/cloud/1/metadata/Photos?count=-1", bearer, 400},
      {"a page that is no number", "/cloud/1/metadata/Photos?page=two", bearer, 400},
  };
  httplib::Client client("127.0.0.1", server_.port());
  for (const auto& c : cases) {
    const auto answer = client.Get(c.target, c.headers);
    ASSERT_TRUE(answer) << c.reason;
    EXPECT_EQ(answer->status, c.status) << c.reason;
  }
}

}  // namespace
