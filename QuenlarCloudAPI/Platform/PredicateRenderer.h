// PredicateRenderer: the SQL of Predicate::render(), in a shape SQLite can prepare whatever the
// predicate's depth.
//
// SQLite's parser has a fixed stack of about a hundred entries, and every parenthesis, function
// call or CASE open around an expression holds a few of them: a predicate written out as deep as
// it is built stops preparing after a few dozen levels ("parser stack overflow"). So a subtree
// whose nesting fits is written as built, and one that does not becomes one flat CASE along its
// heaviest path. Each compound on that path gives one WHEN per other operand, taken when that
// operand settles its compound (true under OR, false under AND) and answering what the path's top
// then is; NOT on the path swaps the answers below it; the ELSE is the path's end. Operands nest
// only inside their own WHEN and hold at most half the nodes of the compound above them, so even
// the worst tree nests only logarithmically, and a chain of any length not at all.
//
// Limits no shape avoids: more distinct values than kMaxParameters, SQL longer than
// kMaxSQLLength, or nesting past the parser's stack even so (only trees built to be deep and bushy
// at once). The answer then is "0" with no bindings, and one line in the system log that names
// the limit and never a value.
//
// One renderer serves one render() call; not for sharing between threads.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/Predicate.h"

namespace tq {

class PredicateRenderer {
 public:
  // SQLite's default limit on parameters; builds may allow more, none we support fewer.
  static constexpr size_t kMaxParameters = 32766;
  // Well below SQLite's own limit of a billion bytes, near which a parse takes gigabytes.
  static constexpr size_t kMaxSQLLength = size_t{64} << 20U;

  PredicateRenderer(const KeyResolver& resolver, int firstParameter);

  RenderedSQL render(const Predicate& predicate);

  // The parser stack that `node`, written as built, takes; from its operands' own measures.
  static size_t naturalCost(const Predicate& node);

  // The placeholder of `value`'s parameter ("?7"), the value being bound at its first use.
  std::string placeholder(Value value);

 private:
  // `held`: the parser stack that the SQL already open around this point holds.
  void renderNode(const Predicate& node, size_t held);
  void renderAsBuilt(const Predicate& node);
  void renderOperands(const Predicate& node, size_t begin, size_t end);
  void renderPath(const Predicate& top, size_t held);
  void renderWithPolarity(const Predicate& node, bool positive, size_t held);
  void fail(const char* reason);

  const KeyResolver& resolver_;
  int firstParameter_;
  RenderedSQL out_;
  std::map<Value, int> parameters_;
  std::optional<std::string> failure_;
};

}  // namespace tq
