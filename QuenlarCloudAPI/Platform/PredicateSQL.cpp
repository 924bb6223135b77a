#include "QuenlarCloudAPI/Platform/PredicateSQL.h"

namespace tq {

void registerPredicateFunctions(SQLiteDatabase& database) {
  for (const bool caseInsensitive : {false, true}) {
    for (const bool diacriticInsensitive : {false, true}) {
      const ComparisonOptions options{caseInsensitive, diacriticInsensitive};
      database.registerFunction(
          Predicate::matchFormFunction(options),
          [options](std::string_view text) { return Predicate::matchForm(text, options); });
    }
  }
}

void bindValue(SQLiteStatement& statement, int index, const Value& value) {
  if (std::holds_alternative<std::monostate>(value)) {
    statement.bindNull(index);
  } else if (const auto* b = std::get_if<bool>(&value)) {
    statement.bindInt64(index, *b ? 1 : 0);
  } else if (const auto* i = std::get_if<int64_t>(&value)) {
    statement.bindInt64(index, *i);
  } else if (const auto* d = std::get_if<double>(&value)) {
    statement.bindDouble(index, *d);
  } else if (const auto* s = std::get_if<std::string>(&value)) {
    statement.bindText(index, *s);
  } else {
    statement.bindInt64(index, std::get<Date>(value).time_since_epoch().count());
  }
}

void bindValues(SQLiteStatement& statement, const std::vector<Value>& values, int first) {
  for (size_t i = 0; i < values.size(); ++i) {
    bindValue(statement, first + static_cast<int>(i), values[i]);
  }
}

void bindRenderedSQL(SQLiteStatement& statement, const RenderedSQL& rendered, int firstParameter) {
  bindValues(statement, rendered.bindings, firstParameter);
}

}  // namespace tq
