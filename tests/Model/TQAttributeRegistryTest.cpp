#include <gtest/gtest.h>

#include <string>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQEntitySQL.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"

namespace {

// Every field set to something, so a column that reads as nil must clear it.
TQResourceValues everyFieldSet() {
  TQResourceValues values;
  for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity("TQDBResource")) {
    switch (attribute.kind) {
      case TQAttributeKind::Text:
        attribute.setValue(values, std::string("before"));
        break;
      case TQAttributeKind::Number:
        attribute.setValue(values, int64_t{1});
        break;
      case TQAttributeKind::Boolean:
        attribute.setValue(values, true);
        break;
      case TQAttributeKind::Date:
        attribute.setValue(values, tq::Date{std::chrono::milliseconds{1}});
        break;
    }
  }
  return values;
}

// Rows are read straight into a resource's fields; whatever SQLite type a column holds, the field
// must come out as reading the column as a value and setting the field from it makes it.
TEST(TQAttributeRegistryTest, ReadingAColumnIntoAFieldMatchesSettingItFromTheColumnsValue) {
  struct Case {
    const char* stored;
    const char* sql;
  };
  const Case cases[] = {
      {"NULL", "NULL"},
      {"text", "'IMG_0001.jpg'"},
      {"empty text", "''"},
      {"text longer than a short string", "'/Photos/Holidays/2024/IMG_0001.jpg'"},
      {"text holding a NUL", "CAST(x'610062' AS TEXT)"},
      {"integer", "42"},
      {"zero", "0"},
      {"negative integer", "-7"},
      {"real", "2.5"},
      {"integral real", "3.0"},
      {"blob", "x'00ff'"},
  };
  tq::SQLiteDatabase database(":memory:");
  for (const Case& c : cases) {
    auto statement = database.prepare(std::string("SELECT 0, ") + c.sql);
    ASSERT_TRUE(statement.step()) << c.stored;
    for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity("TQDBResource")) {
      TQResourceValues direct = everyFieldSet();
      TQResourceValues throughValue = everyFieldSet();
      attribute.readColumn(direct, statement, 1);
      attribute.setValue(throughValue, TQEntitySQL::readColumn(statement, 1, attribute.kind));
      EXPECT_EQ(attribute.valueOf(direct), attribute.valueOf(throughValue))
          << attribute.name << " from " << c.stored;
      EXPECT_EQ(direct, throughValue) << attribute.name << " from " << c.stored;
    }
  }
}

}  // namespace
