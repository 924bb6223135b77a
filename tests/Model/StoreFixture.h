// A fixture for tests that use the local store: a fresh Documents directory per test (the store
// file lands there on first use) and the system log captured line by line. Each test runs in its
// own process, so the shared store opens afresh for every test.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/Predicate.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "tests/support/TestSupport.h"

class StoreFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    tq::Environment::setDocumentsDirectory(directory_.path() / "Documents");
    previousSink_ = tq::setSystemLogSink([this](std::string_view line) {
      std::lock_guard lock(logMutex_);
      logLines_.emplace_back(line);
    });
  }

  void TearDown() override { tq::setSystemLogSink(previousSink_); }

  std::vector<std::string> logLines() const {
    std::lock_guard lock(logMutex_);
    return logLines_;
  }

  static std::shared_ptr<TQPersistentStore> store() {
    return TQPersistentStore::sharedPersistentStore();
  }

  static tq::PredicatePtr equals(const std::string& key, tq::Value value) {
    return tq::Predicate::comparison(key, tq::ComparisonOperator::Equal, std::move(value));
  }

  // A resource object of a file, with the members a fullview answer carries.
  static tq::JSON resourceObject(const std::string& name, const std::string& uri) {
    return {{"name", name},
            {"path", "/Photos/" + name},
            {"uri", uri},
            {"itemuid", "item-" + uri},
            {"contentToken", "token-" + uri},
            {"size", 2048},
            {"versionCreated", "2024-03-01T10:00:00.000Z"},
            {"systemAttributes",
             {{"MimeType", "image/jpeg"}, {"CaptureDate", "2023-12-24T18:30:00.250Z"}}}};
  }

  // The parsed values of resourceObject(), as a merge hands them to upsertResources.
  static TQResourceValues resourceValues(const std::string& name, const std::string& uri) {
    return NSDictionary_TQResource::resourceValues(resourceObject(name, uri));
  }

  // Inserts one row per object in a background context and saves; answers the rows.
  static std::vector<std::shared_ptr<TQDBResource>> insertRows(
      const std::vector<tq::JSON>& objects) {
    const auto context = store()->backgroundManagedObjectContext();
    std::vector<std::shared_ptr<TQDBResource>> rows;
    for (const auto& object : objects) {
      auto row = TQDBResource::insertNewObjectIntoContext(context);
      row->loadFromDictionary(object);
      rows.push_back(row);
    }
    TQStoreError error;
    EXPECT_TRUE(context->save(&error)) << error.localizedDescription;
    return rows;
  }

  // Rows of the entity in the store file, counted on a connection of the test's own.
  int64_t rowsInFile(const std::string& entity) const {
    tq::SQLiteDatabase database(TQPersistentStore::storeURL(),
                                tq::SQLiteDatabase::OpenMode::ReadOnly);
    auto statement = database.prepare("SELECT count(*) FROM \"" + entity + "\"");
    return statement.step() ? statement.columnInt64(0).value_or(-1) : -1;
  }

  // The first column of every row that `sql` selects, as text, read on a connection of the
  // test's own.
  std::vector<std::string> textInFile(const std::string& sql) const {
    tq::SQLiteDatabase database(TQPersistentStore::storeURL(),
                                tq::SQLiteDatabase::OpenMode::ReadOnly);
    auto statement = database.prepare(sql);
    std::vector<std::string> texts;
    while (statement.step()) {
      texts.push_back(statement.columnText(0).value_or("nil"));
    }
    return texts;
  }

  testsupport::TemporaryDirectory directory_;

 private:
  tq::SystemLogSink previousSink_;
  mutable std::mutex logMutex_;
  std::vector<std::string> logLines_;
};
