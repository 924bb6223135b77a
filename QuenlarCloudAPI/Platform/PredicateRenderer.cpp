#include "QuenlarCloudAPI/Platform/PredicateRenderer.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace tq {
namespace {

using Type = Predicate::Type;

// Parser stack entries, rounded up from what SQLite takes for each construct. Of its hundred
// entries we spend 80, leaving the rest to the statement around the predicate.
constexpr size_t kParserBudget = 80;
constexpr size_t kLeafCost = 6;   // instr(tq_fold_cd("c"), ?1) > 0 and the like
constexpr size_t kGroupCost = 4;  // "(" after an operand and its join word
constexpr size_t kNotCost = 5;    // NOT ifnull(
constexpr size_t kCaseCost = 6;   // CASE WHEN ( ... ) IS NOT 1

// SQLite parses "a AND b AND c" as a chain as deep as it is long and refuses expressions deeper
// than 1000, so long operand lists go out as a balanced tree of short ones.
constexpr size_t kFlatOperands = 8;

size_t splitLevels(size_t operands) {
  size_t levels = 0;
  while (operands > kFlatOperands) {
    operands = (operands + 1) / 2;
    ++levels;
  }
  return levels;
}

bool isCompound(const Predicate& node) {
  return (node.type() == Type::And || node.type() == Type::Or) && !node.operands().empty();
}

// One WHEN of a path's CASE.
struct Settler {
  const Predicate* operand;
  bool settlesWhenTrue;  // under OR; under AND it settles when false
  bool answer;
};

}  // namespace

PredicateRenderer::PredicateRenderer(const KeyResolver& resolver, int firstParameter)
    : resolver_(resolver), firstParameter_(firstParameter) {}

RenderedSQL PredicateRenderer::render(const Predicate& predicate) {
  // Refused before anything is written: such a size comes from operands shared at every level,
  // whose SQL doubles with each.
  if (predicate.expandedSize_ > kMaxSQLLength) {
    fail("its SQL would be longer than the limit");
  } else {
    renderNode(predicate, 0);
  }
  if (failure_) {
    systemLog("[ERROR] A predicate too large for SQL matches no rows: " + *failure_ + ".");
    return {"0", {}};
  }
  return std::move(out_);
}

size_t PredicateRenderer::naturalCost(const Predicate& node) {
  switch (node.type()) {
    case Type::Constant:
    case Type::Comparison:
      return kLeafCost;
    case Type::Not:
      return kNotCost + node.operands().front()->naturalCost_;
    case Type::And:
    case Type::Or: {
      size_t deepest = kLeafCost;
      for (const auto& operand : node.operands()) {
        deepest = std::max(deepest, operand->naturalCost_);
      }
      return node.operands().empty()
                 ? kLeafCost
                 : kGroupCost * (1 + splitLevels(node.operands().size())) + deepest;
    }
  }
  return kLeafCost;
}

std::string PredicateRenderer::placeholder(Value value) {
  const int next = firstParameter_ + static_cast<int>(out_.bindings.size());
  const auto [found, added] = parameters_.try_emplace(value, next);
  if (added) {
    if (static_cast<size_t>(next) > kMaxParameters) {
      fail("it has more distinct values than SQL takes parameters");
    }
    out_.bindings.push_back(std::move(value));
  }
  return "?" + std::to_string(found->second);
}

void PredicateRenderer::fail(const char* reason) {
  if (!failure_) {
    failure_ = reason;
  }
}

void PredicateRenderer::renderNode(const Predicate& node, size_t held) {
  if (failure_) {
    return;
  }
  if (out_.sql.size() > kMaxSQLLength) {
    fail("its SQL would be longer than the limit");
    return;
  }
  if (held + node.naturalCost_ <= kParserBudget) {
    renderAsBuilt(node);
  } else {
    renderPath(node, held);
  }
}

// Recursion here is as deep as the subtree, which its natural cost has bounded.
void PredicateRenderer::renderAsBuilt(const Predicate& node) {
  if (failure_) {
    return;
  }
  switch (node.type()) {
    case Type::Constant:
      out_.sql += node.constantValue() ? "1" : "0";
      return;
    case Type::Comparison:
      node.renderComparison(resolver_, *this, out_.sql);
      if (out_.sql.size() > kMaxSQLLength) {
        fail("its SQL would be longer than the limit");
      }
      return;
    case Type::Not:
      // SQL's NOT keeps NULL as NULL; a comparison with a NULL column is false here, so its
      // negation must be true.
      out_.sql += "NOT ifnull(";
      renderAsBuilt(*node.operands().front());
      out_.sql += ", 0)";
      return;
    case Type::And:
    case Type::Or:
      if (node.operands().empty()) {
        out_.sql += node.type() == Type::And ? "1" : "0";
        return;
      }
      renderOperands(node, 0, node.operands().size());
      return;
  }
}

void PredicateRenderer::renderOperands(const Predicate& node, size_t begin, size_t end) {
  const char* const join = node.type() == Type::And ? " AND " : " OR ";
  out_.sql += '(';
  if (end - begin <= kFlatOperands) {
    for (size_t i = begin; i < end; ++i) {
      if (i > begin) {
        out_.sql += join;
      }
      renderAsBuilt(*node.operands()[i]);
    }
  } else {
    const size_t middle = begin + (end - begin) / 2;
    renderOperands(node, begin, middle);
    out_.sql += join;
    renderOperands(node, middle, end);
  }
  out_.sql += ')';
}

void PredicateRenderer::renderPath(const Predicate& top, size_t held) {
  const size_t inside = held + kCaseCost;
  if (inside + kLeafCost > kParserBudget) {
    fail("it nests too deeply");
    return;
  }
  // Follow the heaviest operand, so that each other operand, which nests, is at most half the
  // size of its compound; stop where the rest fits as written.
  std::vector<Settler> settlers;
  const Predicate* end = &top;
  bool positive = true;
  for (;;) {
    if (end != &top && inside + kNotCost + end->naturalCost_ <= kParserBudget) {
      break;
    }
    if (end->type() == Type::Not) {
      positive = !positive;
      end = end->operands().front().get();
      continue;
    }
    if (!isCompound(*end)) {
      break;
    }
    const auto& operands = end->operands();
    const auto heaviest = std::max_element(operands.begin(), operands.end(),
                                           [](const PredicatePtr& a, const PredicatePtr& b) {
                                             return a->expandedSize_ < b->expandedSize_;
                                           });
    const bool isOr = end->type() == Type::Or;
    for (auto operand = operands.begin(); operand != operands.end(); ++operand) {
      if (operand != heaviest) {
        settlers.push_back({operand->get(), isOr, isOr == positive});
      }
    }
    end = heaviest->get();
  }

  if (settlers.empty()) {
    renderWithPolarity(*end, positive, held);
    return;
  }
  out_.sql += "CASE";
  for (const Settler& settler : settlers) {
    // Every rendered predicate yields 1, 0 or NULL, and NULL is false here as everywhere.
    if (settler.settlesWhenTrue) {
      out_.sql += " WHEN ";
      renderNode(*settler.operand, inside);
    } else {
      out_.sql += " WHEN (";
      renderNode(*settler.operand, inside);
      out_.sql += ") IS NOT 1";
    }
    out_.sql += settler.answer ? " THEN 1" : " THEN 0";
    if (failure_) {
      return;
    }
  }
  out_.sql += " ELSE ";
  renderWithPolarity(*end, positive, inside);
  out_.sql += " END";
}

void PredicateRenderer::renderWithPolarity(const Predicate& node, bool positive, size_t held) {
  if (positive) {
    renderNode(node, held);
    return;
  }
  out_.sql += "NOT ifnull(";
  renderNode(node, held + kNotCost);
  out_.sql += ", 0)";
}

}  // namespace tq
