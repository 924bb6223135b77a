// The stand-in tree's changes as a client's mirror sees them through fullView(), and the changes
// it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testserver/ResourceTree.h"

namespace testserver {
namespace {

std::vector<std::string> pathsOf(const std::vector<ResourceTree::JSON>& objects) {
  std::vector<std::string> paths;
  paths.reserve(objects.size());
  for (const auto& object : objects) {
    paths.push_back(object.at("path").get<std::string>());
  }
  return paths;
}

class ResourceTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_.addVirtualFolder("Photos");
    tree_.addVirtualFolder("Music");
    tree_.addFolder("/Photos/a");
    tree_.addFile("/Photos/a/x.jpg");
    tree_.addFile("/Photos/ab.jpg");
    tree_.addFile("/Music/song.mp3");
  }

  std::string eTag(const std::string& folder) { return tree_.currentETag(folder).value_or(""); }

  ResourceTree tree_;
};

TEST_F(ResourceTreeTest, FullViewAnswersTheWholeFolderTheChangesSinceOrNothing) {
  const std::string start = eTag("Photos");
  const auto whole = tree_.fullView("Photos", "");
  ASSERT_TRUE(whole);
  EXPECT_TRUE(whole->whole);
  EXPECT_EQ(pathsOf(whole->folders), std::vector<std::string>{"/Photos/a"});
  EXPECT_EQ(pathsOf(whole->files), (std::vector<std::string>{"/Photos/a/x.jpg", "/Photos/ab.jpg"}));
  EXPECT_TRUE(tree_.fullView("Photos", start)->unchanged);

  const std::string oldURI = tree_.resourceObject("/Photos/a/x.jpg")->at("uri");
  tree_.rename("/Photos/a", "b");  // the folder and its file get new uris
  tree_.remove("/Photos/ab.jpg", false);
  const auto delta = tree_.fullView("Photos", start);
  EXPECT_FALSE(delta->whole);
  EXPECT_EQ(pathsOf(delta->folders), std::vector<std::string>{"/Photos/b"});
  EXPECT_EQ(pathsOf(delta->files), std::vector<std::string>{"/Photos/b/x.jpg"});
  EXPECT_NE(delta->files.front().at("uri"), oldURI);
  EXPECT_EQ(delta->deletedPaths, (std::vector<std::string>{"/Photos/a", "/Photos/ab.jpg"}));
  EXPECT_TRUE(tree_.fullView("Music", eTag("Music"))->unchanged) << "other folders keep theirs";

  // A restored item is reported live again, not deleted.
  const std::string beforeRestore = eTag("Photos");
  tree_.restore("/Photos/ab.jpg");
  const auto restored = tree_.fullView("Photos", start);
  EXPECT_EQ(restored->deletedPaths, std::vector<std::string>{"/Photos/a"});
  EXPECT_EQ(pathsOf(tree_.fullView("Photos", beforeRestore)->files),
            std::vector<std::string>{"/Photos/ab.jpg"});

  for (const std::string unknown : {"v999", "v0", "7", "v3x"}) {
    EXPECT_TRUE(tree_.fullView("Photos", unknown)->whole) << unknown;
  }
  EXPECT_FALSE(tree_.fullView("Nowhere", ""));
}

// A change answer is read from the log of changes, not from a walk of the folder: it must still
// hold each live item changed since, once, in path order, in the folder it is in now.
TEST_F(ResourceTreeTest, ChangeAnswersHoldEachChangedLiveItemOnceInPathOrder) {
  using Paths = std::vector<std::string>;
  const ResourceTree::JSON tagged = {{"systemAttributes", {{"Tags", "t"}}}};
  const struct {
    const char* what;
    std::string folder;
    std::function<void(ResourceTree&)> change;
    Paths folders;
    Paths files;
  } cases[] = {
      {"changed twice, and in reverse path order",
       "Photos",
       [&](ResourceTree& tree) {
         tree.update("/Photos/ab.jpg", tagged);
         tree.update("/Photos/a/x.jpg", tagged);
         tree.update("/Photos/ab.jpg", tagged);
       },
       {},
       {"/Photos/a/x.jpg", "/Photos/ab.jpg"}},
      {"moved away",
       "Photos",
       [](ResourceTree& tree) { tree.move("/Photos/a", "/Music"); },
       {},
       {}},
      {"moved in",
       "Music",
       [](ResourceTree& tree) { tree.move("/Photos/a", "/Music"); },
       {"/Music/a"},
       {"/Music/a/x.jpg"}},
      {"copied in",
       "Music",
       [](ResourceTree& tree) { tree.copy("/Photos/a", "/Music"); },
       {"/Music/a"},
       {"/Music/a/x.jpg"}},
      {"changed, then trashed",
       "Photos",
       [&](ResourceTree& tree) {
         tree.update("/Photos/ab.jpg", tagged);
         tree.remove("/Photos/ab.jpg", false);
       },
       {},
       {}},
      {"gone, then made anew",
       "Photos",
       [](ResourceTree& tree) {
         tree.remove("/Photos/ab.jpg", true);
         tree.addFile("/Photos/ab.jpg");
       },
       {},
       {"/Photos/ab.jpg"}},
      {"restored with what it holds",
       "Photos",
       [](ResourceTree& tree) {
         tree.remove("/Photos/a", false);
         tree.restore("/Photos/a");
       },
       {"/Photos/a"},
       {"/Photos/a/x.jpg"}},
  };
  for (const auto& c : cases) {
    ResourceTree tree;
    tree.addVirtualFolder("Photos");
    tree.addVirtualFolder("Music");
    tree.addFolder("/Photos/a");
    tree.addFile("/Photos/a/x.jpg");
    tree.addFile("/Photos/ab.jpg");
    const std::string since = *tree.currentETag(c.folder);
    c.change(tree);
    const auto view = tree.fullView(c.folder, since);
    ASSERT_TRUE(view && !view->whole && !view->unchanged) << c.what;
    EXPECT_EQ(pathsOf(view->folders), c.folders) << c.what;
    EXPECT_EQ(pathsOf(view->files), c.files) << c.what;
  }
}

TEST_F(ResourceTreeTest, RefusedChangesAnswerTheirStatusAndChangeNothing) {
  tree_.remove("/Photos/a", false);
  const struct {
    const char* what;
    std::function<void()> change;
    int status;
  } cases[] = {
      {"move into itself", [&] { tree_.move("/Music/song.mp3", "/Music/song.mp3"); }, 400},
      {"move a missing item", [&] { tree_.move("/Photos/none", "/Music"); }, 404},
      {"rename onto a live name", [&] { tree_.rename("/Photos/ab.jpg", "ab.jpg2"); }, 409},
      {"copy onto a live name", [&] { tree_.copy("/Photos/ab.jpg", "/Photos"); }, 409},
      {"rename with a slash", [&] { tree_.rename("/Photos/ab.jpg", "x/y"); }, 400},
      {"remove a virtual folder as an item", [&] { tree_.remove("/Music", true); }, 400},
      {"non-empty virtual folder without force", [&] { tree_.removeVirtualFolder("Music", false); },
       409},
      {"restore inside a trashed folder", [&] { tree_.restore("/Photos/a/x.jpg"); }, 409},
      {"trash an item twice", [&] { tree_.remove("/Photos/a", false); }, 404},
      {"a folder in a trashed folder", [&] { tree_.createFolder("/Photos/a", "n"); }, 404},
      {"a file beside the virtual folders", [&] { tree_.putFile("/loose", {}, 0, ""); }, 400},
      {"a file over a folder", [&] { tree_.putFile("/Photos/ab.jpg2", {}, 0, ""); }, 409},
  };
  tree_.createFolder("/Photos", "ab.jpg2");
  for (const auto& c : cases) {
    const std::string before = eTag("Photos") + eTag("Music");
    try {
      c.change();
      EXPECT_EQ(c.status, 0) << c.what << " was accepted";
    } catch (const TreeError& error) {
      EXPECT_EQ(error.status(), c.status) << c.what << ": " << error.what();
      EXPECT_EQ(eTag("Photos") + eTag("Music"), before) << c.what;
    }
  }
}

TEST_F(ResourceTreeTest, FileBytesFollowVersionsCopiesAndTheTrash) {
  const auto generated = tree_.readContent("/Photos/ab.jpg", 0, 1 << 20);
  ASSERT_TRUE(generated);
  EXPECT_EQ(static_cast<int64_t>(generated->size()), *tree_.contentLength("/Photos/ab.jpg"));
  EXPECT_EQ(tree_.readContent("/Photos/ab.jpg", 10, 5), generated->substr(10, 5));

  const auto first =
      tree_.putFile("/Music/new.txt", std::make_shared<const std::string>("hello"), 5, "sum1");
  const auto second = tree_.putFile("/Music/new.txt",
                                    std::make_shared<const std::string>("hello, world"), 12, "s2");
  EXPECT_EQ(second.at("uri"), first.at("uri"));
  EXPECT_EQ(second.at("version"), 2);
  EXPECT_NE(second.at("contentToken"), first.at("contentToken"));
  EXPECT_EQ(tree_.readContent("/Music/new.txt", 7, 100), "world");
  const auto listing = tree_.listing({.path = "/Music"});
  ASSERT_TRUE(listing);
  EXPECT_EQ(pathsOf(listing->at("file").get<std::vector<ResourceTree::JSON>>()),
            (std::vector<std::string>{"/Music/song.mp3", "/Music/new.txt"}));

  tree_.copy("/Music/new.txt", "/Photos/a");
  EXPECT_EQ(tree_.readContent("/Photos/a/new.txt", 0, 100), "hello, world");
  EXPECT_NE(tree_.resourceObject("/Photos/a/new.txt")->at("uri"), first.at("uri"));

  tree_.remove("/Photos/a", false);
  EXPECT_FALSE(tree_.readContent("/Photos/a/new.txt", 0, 1)) << "trashed bytes are not served";
  EXPECT_EQ(pathsOf(tree_.trash("Photos", false)), std::vector<std::string>{"/Photos/a"});
  EXPECT_EQ(tree_.trash("Photos", true).size(), 3U);
  EXPECT_EQ(tree_.emptyTrash("Photos"), 1U);
  EXPECT_TRUE(tree_.trash("Photos", true).empty());
  EXPECT_EQ(pathsOf(tree_.liveItems("Photos")), std::vector<std::string>{"/Photos/ab.jpg"});
}

TEST_F(ResourceTreeTest, RenamedVirtualFolderStartsANewLogAndKeepsItsPlace) {
  tree_.renameVirtualFolder("Photos", "Pictures");
  EXPECT_EQ(tree_.virtualFolderNames(), (std::vector<std::string>{"Pictures", "Music"}));
  EXPECT_FALSE(tree_.currentETag("Photos"));
  EXPECT_EQ(pathsOf(tree_.fullView("Pictures", "")->files),
            (std::vector<std::string>{"/Pictures/a/x.jpg", "/Pictures/ab.jpg"}));
  EXPECT_EQ(tree_.pathOfURI(tree_.resourceObject("/Pictures/ab.jpg")->at("uri")),
            "/Pictures/ab.jpg");
  tree_.removeVirtualFolder("Pictures", true);
  EXPECT_EQ(tree_.virtualFolderNames(), std::vector<std::string>{"Music"});
}

}  // namespace
}  // namespace testserver
