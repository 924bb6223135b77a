// A store predicate: a small immutable tree of comparisons, AND/OR/NOT compounds and constants,
// standing in for the platform's predicate objects.
//
// One predicate has three uses, which agree on every input:
// - render(): SQL for a WHERE clause, in which every value is a bound parameter and every column
//   comes from the caller's resolver (never from the predicate's text);
// - evaluate(): the same test in memory against one row's values;
// - description(): readable text for log messages.
//
// What a comparison means (render and evaluate alike):
// - A key the resolver does not know, or a value that does not fit the key's kind (text for Text,
//   an integer or a real other than NaN for Number, a boolean for Boolean, a date for Date), makes
//   the comparison false whatever its operator: it matches nothing.
// - With std::monostate as its value, Equal is "is NULL" and NotEqual "is not NULL"; every other
//   operator is false.
// - A row whose value is NULL (or of another type than the key's kind) satisfies NotEqual and
//   nothing else: NotEqual is exactly the negation of Equal.
// - Contains (a substring, the empty text included), BeginsWith (a prefix, the empty text
//   included; every character literal) and Like (the whole text; "*" any run of characters, "?"
//   one character, everything else literal, "%" and "_" included) compare the texts' match forms:
//   Unicode::fold() with the comparison's [c]/[d] options, so canonically equivalent texts match
//   even with no option. A NUL is a character like any other: the whole text takes part.
// - Equal, NotEqual and the orderings compare text byte for byte (code-point order) without
//   options, and their match forms with [c] or [d]; options do nothing for other kinds.
// - NOT is plain negation: NOT of an unknown key's comparison is true.
//
// The SQL needs the functions of PredicateSQL.h on its connection, and text columns that compare
// with SQLite's default BINARY collation. Dates are bound as INTEGER milliseconds since the epoch
// and booleans as INTEGER 0/1, which is how columns of those kinds must store them.
//
// A predicate may be as deep as memory allows (a long query alternating AND and OR nests one
// level per change of word): evaluation, description and destruction keep their own stacks, and
// render() keeps SQLite's parser within its fixed stack whatever the depth (PredicateRenderer.h).
// Where SQL cannot hold a predicate at all, render() answers "0" (no rows) and writes one line to
// the system log; evaluate() still answers in full.
//
// Predicates are immutable and safe to share between threads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Platform/Value.h"

namespace tq {

class Predicate;
class PredicateRenderer;
using PredicatePtr = std::shared_ptr<const Predicate>;

enum class ComparisonOperator {
  Equal,           // ==
  NotEqual,        // !=
  Less,            // <
  LessOrEqual,     // <=
  Greater,         // >
  GreaterOrEqual,  // >=
  Contains,        // CONTAINS: substring
  BeginsWith,      // BEGINSWITH: prefix
  Like,            // LIKE: whole text, "*" any run, "?" one character
};

struct ComparisonOptions {
  bool caseInsensitive = false;       // [c]
  bool diacriticInsensitive = false;  // [d]
};

// How a key maps onto storage: its column and the kind of value it holds.
struct ResolvedKey {
  std::string column;  // quoted by render(); must be a trusted identifier
  enum class Kind { Text, Number, Boolean, Date } kind = Kind::Text;
};
using KeyResolver = std::function<std::optional<ResolvedKey>(std::string_view key)>;

// The values of one row, by key; std::monostate for NULL.
using ValueSource = std::function<Value(std::string_view key)>;

struct RenderedSQL {
  std::string sql;  // e.g. ("name" = ?1 AND "size" IS NOT NULL)
  // The value of parameter firstParameter + i at index i. Equal values share one parameter, so a
  // placeholder may recur in the SQL; each is numbered at its first use. Dates and booleans stay
  // typed here (bindValue() in PredicateSQL.h stores them as the columns do); text compared by
  // match form is bound in its match form, a Like pattern also escaped for SQL's GLOB.
  std::vector<Value> bindings;
};

// `name` quoted as an SQL identifier, a double quote inside it doubled.
std::string quotedIdentifier(std::string_view name);

class Predicate {
 public:
  enum class Type { Constant, Comparison, And, Or, Not };

  static PredicatePtr constant(bool value);
  static PredicatePtr comparison(std::string key, ComparisonOperator op, Value value,
                                 ComparisonOptions options = {});
  // "key != NULL" and "key == NULL" are comparisons with std::monostate as their value.
  // An empty AND is true, an empty OR false; null operands are not allowed.
  static PredicatePtr andPredicate(std::vector<PredicatePtr> operands);
  static PredicatePtr orPredicate(std::vector<PredicatePtr> operands);
  static PredicatePtr notPredicate(PredicatePtr operand);

  Type type() const { return type_; }
  bool constantValue() const { return constantValue_; }
  const std::string& key() const { return key_; }
  ComparisonOperator comparisonOperator() const { return op_; }
  const Value& value() const { return value_; }
  ComparisonOptions options() const { return options_; }
  const std::vector<PredicatePtr>& operands() const { return operands_; }

  // SQL whose placeholders are numbered from firstParameter. A nil (nullptr) predicate means
  // "every row" and is the caller's to handle; render() is never asked for one.
  // "0" with no bindings, and a line in the system log, when the SQL would pass a limit that
  // SQLite builds enforce (see PredicateRenderer.h).
  RenderedSQL render(const KeyResolver& resolver, int firstParameter = 1) const;
  bool evaluate(const ValueSource& values, const KeyResolver& resolver) const;
  // For example: name CONTAINS[cd] "holiday" AND (creationDate != nil OR file == YES)
  std::string description() const;

  // The form in which text is compared by Contains, BeginsWith and Like, and with options by every
  // operator;
  // and the name of the SQL function that computes it (see PredicateSQL.h).
  static std::string matchForm(std::string_view text, ComparisonOptions options);
  static const char* matchFormFunction(ComparisonOptions options);

  // Implementation detail of the factories; use them instead.
  struct Private {};
  Predicate(Private, Type type);
  // Releases the operands without recursing, however deep the tree below.
  ~Predicate();
  // Predicates live behind PredicatePtr; a copy would only be a second owner of the operands.
  Predicate(const Predicate&) = delete;
  Predicate& operator=(const Predicate&) = delete;
  Predicate(Predicate&&) = delete;
  Predicate& operator=(Predicate&&) = delete;

 private:
  friend class PredicateRenderer;

  // Sets the measures below from the operands, which are final by then.
  void measure();
  void renderComparison(const KeyResolver& resolver, PredicateRenderer& renderer,
                        std::string& sql) const;
  bool evaluateComparison(const ValueSource& values, const KeyResolver& resolver) const;
  void describeLeaf(std::string& out) const;

  Type type_;
  bool constantValue_ = false;
  std::string key_;
  ComparisonOperator op_ = ComparisonOperator::Equal;
  Value value_;
  ComparisonOptions options_;
  // The value's match form, made once: set for text values of Contains, BeginsWith and Like, and of
  // every operator with an option.
  std::optional<std::string> matchValue_;
  std::vector<PredicatePtr> operands_;
  // Nodes in the tree below, counting shared operands once per use, at most UINT64_MAX; and the
  // parser stack that rendering the tree as written would take (PredicateRenderer::naturalCost).
  uint64_t expandedSize_ = 1;
  size_t naturalCost_ = 0;
};

}  // namespace tq
