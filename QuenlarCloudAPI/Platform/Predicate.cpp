#include "QuenlarCloudAPI/Platform/Predicate.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <utility>

#include "QuenlarCloudAPI/Platform/DateText.h"
#include "QuenlarCloudAPI/Platform/PredicateRenderer.h"
#include "QuenlarCloudAPI/Platform/Unicode.h"
#include "QuenlarCloudAPI/Platform/Utf8.h"

namespace tq {
namespace {

using Kind = ResolvedKey::Kind;

bool matchesText(ComparisonOperator op) {
  return op == ComparisonOperator::Contains || op == ComparisonOperator::BeginsWith ||
         op == ComparisonOperator::Like;
}

bool hasOption(ComparisonOptions options) {
  return options.caseInsensitive || options.diacriticInsensitive;
}

// Whether a value can stand in a column of that kind. NaN cannot: SQLite stores it as NULL.
bool fits(const Value& value, Kind kind) {
  switch (kind) {
    case Kind::Text:
      return std::holds_alternative<std::string>(value);
    case Kind::Number:
      return std::holds_alternative<int64_t>(value) ||
             (std::holds_alternative<double>(value) && !std::isnan(std::get<double>(value)));
    case Kind::Boolean:
      return std::holds_alternative<bool>(value);
    case Kind::Date:
      return std::holds_alternative<Date>(value);
  }
  return false;
}

template <typename T>
int threeWay(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// SQLite compares an integer with a real exactly, also past 2^53 where converting the integer to
// a double would round; so must we.
int compareIntegerWithReal(int64_t integer, double real) {
  if (real < -9223372036854775808.0) {
    return 1;
  }
  if (real >= 9223372036854775808.0) {
    return -1;
  }
  const auto truncated = static_cast<int64_t>(real);
  if (integer != truncated) {
    return integer < truncated ? -1 : 1;
  }
  const double fraction = real - static_cast<double>(truncated);
  return fraction > 0 ? -1 : (fraction < 0 ? 1 : 0);
}

int compareNumbers(const Value& a, const Value& b) {
  const auto* ai = std::get_if<int64_t>(&a);
  const auto* bi = std::get_if<int64_t>(&b);
  if (ai != nullptr && bi != nullptr) {
    return threeWay(*ai, *bi);
  }
  if (ai != nullptr) {
    return compareIntegerWithReal(*ai, std::get<double>(b));
  }
  if (bi != nullptr) {
    return -compareIntegerWithReal(*bi, std::get<double>(a));
  }
  return threeWay(std::get<double>(a), std::get<double>(b));
}

// Both values fit `kind`; text is compared byte for byte, which is code-point order.
int compareFitting(const Value& a, const Value& b, Kind kind) {
  switch (kind) {
    case Kind::Text:
      return threeWay(std::get<std::string>(a), std::get<std::string>(b));
    case Kind::Number:
      return compareNumbers(a, b);
    case Kind::Boolean:
      return threeWay(std::get<bool>(a), std::get<bool>(b));
    case Kind::Date:
      return threeWay(std::get<Date>(a), std::get<Date>(b));
  }
  return 0;
}

bool orderingHolds(ComparisonOperator op, int order) {
  switch (op) {
    case ComparisonOperator::Equal:
      return order == 0;
    case ComparisonOperator::NotEqual:
      return order != 0;
    case ComparisonOperator::Less:
      return order < 0;
    case ComparisonOperator::LessOrEqual:
      return order <= 0;
    case ComparisonOperator::Greater:
      return order > 0;
    case ComparisonOperator::GreaterOrEqual:
      return order >= 0;
    case ComparisonOperator::Contains:
    case ComparisonOperator::BeginsWith:
    case ComparisonOperator::Like:
      break;
  }
  return false;
}

// What a NUL becomes in a match form: the bytes UTF-8's pattern gives the first code point past
// Unicode. No well-formed text holds them and ill-formed text folds to U+FFFD, so nothing else
// folds to them; and SQLite, whose text functions (length, substr, GLOB) end text at a NUL, reads
// them as one character of its own. So a NUL counts as one character in SQL as in memory, and
// what follows it counts too.
constexpr std::string_view kNulForm = "\xF4\x90\x80\x80";

std::string withNulForms(std::string folded) {
  for (size_t nul = folded.find('\0'); nul != std::string::npos;
       nul = folded.find('\0', nul + kNulForm.size())) {
    folded.replace(nul, 1, kNulForm);
  }
  return folded;
}

size_t characterLength(std::string_view text, size_t position) {
  if (static_cast<unsigned char>(text[position]) < 0x80) {
    return 1;
  }
  if (text.substr(position).starts_with(kNulForm)) {
    return kNulForm.size();
  }
  Utf8Decoder decoder(text.substr(position));
  return decoder.next()->bytes.size();
}

// Whole-text match of `pattern` ("*" any run, "?" one character) over code points. Greedy with
// a return to the last star only: O(text × pattern) at worst, whatever the number of stars.
bool likeMatches(std::string_view text, std::string_view pattern) {
  size_t t = 0;
  size_t p = 0;
  size_t starPattern = std::string_view::npos;  // pattern position just after the last star
  size_t starText = 0;                          // text position that star's run ends at
  while (t < text.size()) {
    if (p < pattern.size()) {
      if (pattern[p] == '*') {
        starPattern = ++p;
        starText = t;
        continue;
      }
      const size_t textLength = characterLength(text, t);
      const size_t patternLength = characterLength(pattern, p);
      if (pattern[p] == '?' || pattern.substr(p, patternLength) == text.substr(t, textLength)) {
        p += patternLength;
        t += textLength;
        continue;
      }
    }
    if (starPattern == std::string_view::npos) {
      return false;
    }
    starText += characterLength(text, starText);
    t = starText;
    p = starPattern;
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

// SQL's GLOB reads "*" and "?" as we do, and "[" as the start of a character class.
std::string globPattern(std::string_view pattern) {
  std::string out;
  out.reserve(pattern.size());
  for (const char c : pattern) {
    if (c == '[') {
      out += "[[]";
    } else {
      out += c;
    }
  }
  return out;
}

const char* operatorText(ComparisonOperator op) {
  switch (op) {
    case ComparisonOperator::Equal:
      return "==";
    case ComparisonOperator::NotEqual:
      return "!=";
    case ComparisonOperator::Less:
      return "<";
    case ComparisonOperator::LessOrEqual:
      return "<=";
    case ComparisonOperator::Greater:
      return ">";
    case ComparisonOperator::GreaterOrEqual:
      return ">=";
    case ComparisonOperator::Contains:
      return "CONTAINS";
    case ComparisonOperator::BeginsWith:
      return "BEGINSWITH";
    case ComparisonOperator::Like:
      return "LIKE";
  }
  return "?";
}

const char* sqlOperator(ComparisonOperator op) {
  switch (op) {
    case ComparisonOperator::Equal:
      return " = ";
    case ComparisonOperator::NotEqual:
      return " IS NOT ";  // true for NULL too, as the negation of Equal must be
    case ComparisonOperator::Less:
      return " < ";
    case ComparisonOperator::LessOrEqual:
      return " <= ";
    case ComparisonOperator::Greater:
      return " > ";
    case ComparisonOperator::GreaterOrEqual:
      return " >= ";
    case ComparisonOperator::Contains:
    case ComparisonOperator::BeginsWith:
    case ComparisonOperator::Like:
      break;
  }
  return " ";
}

void describeValue(const Value& value, std::string& out) {
  if (std::holds_alternative<std::monostate>(value)) {
    out += "nil";
  } else if (const auto* b = std::get_if<bool>(&value)) {
    out += *b ? "YES" : "NO";
  } else if (const auto* i = std::get_if<int64_t>(&value)) {
    out += std::to_string(*i);
  } else if (const auto* d = std::get_if<double>(&value)) {
    std::array<char, 32> buffer{};
    const int length = std::snprintf(buffer.data(), buffer.size(), "%.17g", *d);
    out.append(buffer.data(), static_cast<size_t>(length > 0 ? length : 0));
  } else if (const auto* s = std::get_if<std::string>(&value)) {
    out += '"';
    for (const char c : *s) {
      if (c == '"' || c == '\\') {
        out += '\\';
      }
      out += c;
    }
    out += '"';
  } else {
    out += utcMillisecondsText(std::get<Date>(value));
  }
}

}  // namespace

std::string quotedIdentifier(std::string_view name) {
  std::string out = "\"";
  for (const char c : name) {
    out += c;
    if (c == '"') {
      out += '"';
    }
  }
  out += '"';
  return out;
}

Predicate::Predicate(Private /*unused*/, Type type) : type_(type) {}

Predicate::~Predicate() {
  // The operands released while this thread drains a tree join that tree's list instead of being
  // destroyed inside this destructor, so the release of a deep tree never recurses; and it needs
  // no guess at who else holds an operand, since only a count that reached zero lands here.
  thread_local std::vector<PredicatePtr>* draining = nullptr;
  if (draining != nullptr) {
    std::move(operands_.begin(), operands_.end(), std::back_inserter(*draining));
    return;
  }
  std::vector<PredicatePtr> pending = std::move(operands_);
  draining = &pending;
  while (!pending.empty()) {
    PredicatePtr last = std::move(pending.back());
    pending.pop_back();
    last.reset();
  }
  draining = nullptr;
}

void Predicate::measure() {
  constexpr uint64_t kMost = std::numeric_limits<uint64_t>::max();
  for (const auto& operand : operands_) {
    expandedSize_ = operand->expandedSize_ > kMost - expandedSize_
                        ? kMost
                        : expandedSize_ + operand->expandedSize_;
  }
  naturalCost_ = PredicateRenderer::naturalCost(*this);
}

PredicatePtr Predicate::constant(bool value) {
  auto predicate = std::make_shared<Predicate>(Private{}, Type::Constant);
  predicate->constantValue_ = value;
  predicate->measure();
  return predicate;
}

PredicatePtr Predicate::comparison(std::string key, ComparisonOperator op, Value value,
                                   ComparisonOptions options) {
  auto predicate = std::make_shared<Predicate>(Private{}, Type::Comparison);
  predicate->key_ = std::move(key);
  predicate->op_ = op;
  predicate->options_ = options;
  if (const auto* text = std::get_if<std::string>(&value);
      text != nullptr && (matchesText(op) || hasOption(options))) {
    predicate->matchValue_ = matchForm(*text, options);
  }
  predicate->value_ = std::move(value);
  predicate->measure();
  return predicate;
}

namespace {

template <typename Operands>
void requireOperands(const Operands& operands) {
  for (const auto& operand : operands) {
    if (operand == nullptr) {
      throw std::invalid_argument("a compound predicate needs non-null operands");
    }
  }
}

}  // namespace

PredicatePtr Predicate::andPredicate(std::vector<PredicatePtr> operands) {
  requireOperands(operands);
  auto predicate = std::make_shared<Predicate>(Private{}, Type::And);
  predicate->operands_ = std::move(operands);
  predicate->measure();
  return predicate;
}

PredicatePtr Predicate::orPredicate(std::vector<PredicatePtr> operands) {
  requireOperands(operands);
  auto predicate = std::make_shared<Predicate>(Private{}, Type::Or);
  predicate->operands_ = std::move(operands);
  predicate->measure();
  return predicate;
}

PredicatePtr Predicate::notPredicate(PredicatePtr operand) {
  requireOperands(std::array{operand});
  auto predicate = std::make_shared<Predicate>(Private{}, Type::Not);
  predicate->operands_.push_back(std::move(operand));
  predicate->measure();
  return predicate;
}

namespace {

// A text made only of code points below this folds to the concatenation of their single folds:
// they are all starters, whose folds neither compose with nor reorder against each other.
constexpr char32_t kLatinEnd = 0x250;
using LatinFolds = std::array<std::string, kLatinEnd>;

// Unicode::fold of each Latin code point, made once per set of options: searches fold every row,
// and most names are Latin text that this spares the Unicode machinery.
const LatinFolds& latinFolds(ComparisonOptions options) {
  static const std::array<LatinFolds, 4> tables = [] {
    std::array<LatinFolds, 4> made;
    for (size_t set = 0; set < made.size(); ++set) {
      for (char32_t c = 0; c < kLatinEnd; ++c) {
        std::string character;
        appendUtf8(character, c);
        made[set][c] = Unicode::fold(character, (set & 1U) != 0, (set & 2U) != 0);
      }
    }
    return made;
  }();
  return tables[(options.caseInsensitive ? 1U : 0U) | (options.diacriticInsensitive ? 2U : 0U)];
}

}  // namespace

std::string Predicate::matchForm(std::string_view text, ComparisonOptions options) {
  const LatinFolds& folds = latinFolds(options);
  std::string out;
  out.reserve(text.size());
  for (size_t position = 0; position < text.size();) {
    const auto byte = static_cast<unsigned char>(text[position]);
    if (byte == 0) [[unlikely]] {
      out += kNulForm;
      ++position;
      continue;
    }
    if (byte < 0x80) {  // every other ASCII character folds to one byte
      out.push_back(folds[byte].front());
      ++position;
      continue;
    }
    Utf8Decoder decoder(text.substr(position));
    const Utf8Char character = *decoder.next();
    if (!character.valid || character.codePoint >= kLatinEnd) {
      return withNulForms(
          Unicode::fold(text, options.caseInsensitive, options.diacriticInsensitive));
    }
    out += folds[character.codePoint];
    position += character.bytes.size();
  }
  return out;
}

const char* Predicate::matchFormFunction(ComparisonOptions options) {
  if (options.caseInsensitive) {
    return options.diacriticInsensitive ? "tq_fold_cd" : "tq_fold_c";
  }
  return options.diacriticInsensitive ? "tq_fold_d" : "tq_fold";
}

RenderedSQL Predicate::render(const KeyResolver& resolver, int firstParameter) const {
  return PredicateRenderer(resolver, firstParameter).render(*this);
}

void Predicate::renderComparison(const KeyResolver& resolver, PredicateRenderer& renderer,
                                 std::string& sql) const {
  const auto resolved = resolver(key_);
  if (!resolved) {
    sql += '0';
    return;
  }
  const std::string column = quotedIdentifier(resolved->column);
  if (std::holds_alternative<std::monostate>(value_)) {
    if (op_ == ComparisonOperator::Equal) {
      sql += column + " IS NULL";
    } else if (op_ == ComparisonOperator::NotEqual) {
      sql += column + " IS NOT NULL";
    } else {
      sql += '0';
    }
    return;
  }
  if (!fits(value_, resolved->kind) ||
      (matchesText(op_) && !std::holds_alternative<std::string>(value_))) {
    sql += '0';
    return;
  }

  if (!matchValue_ || resolved->kind != Kind::Text) {
    sql += column + sqlOperator(op_) + renderer.placeholder(value_);
    return;
  }
  std::string operand = matchFormFunction(options_);
  operand.append("(").append(column).append(")");
  switch (op_) {
    case ComparisonOperator::Contains:
      sql += "instr(" + operand + ", " + renderer.placeholder(*matchValue_) + ") > 0";
      return;
    case ComparisonOperator::BeginsWith: {
      // Neither LIKE nor GLOB, whose wildcards the value may hold. Match forms are well-formed
      // UTF-8 but for NUL's form, which SQLite counts as one character too, so comparing the
      // first characters compares the first bytes, as evaluate() does.
      const std::string value = renderer.placeholder(*matchValue_);
      sql += "substr(" + operand + ", 1, length(" + value + ")) = " + value;
      return;
    }
    case ComparisonOperator::Like:
      sql += operand + " GLOB " + renderer.placeholder(globPattern(*matchValue_));
      return;
    default:
      sql += operand + sqlOperator(op_) + renderer.placeholder(*matchValue_);
      return;
  }
}

bool Predicate::evaluate(const ValueSource& values, const KeyResolver& resolver) const {
  // Our own stack rather than the thread's: a long query nests as deep as it is long.
  struct Frame {
    const Predicate* node;
    size_t visited;  // operands evaluated so far
  };
  std::vector<Frame> stack{{this, 0}};
  bool result = false;  // of the node finished last
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const Predicate& node = *frame.node;
    switch (node.type_) {
      case Type::Constant:
        result = node.constantValue_;
        break;
      case Type::Comparison:
        result = node.evaluateComparison(values, resolver);
        break;
      case Type::Not:
        if (frame.visited == 0) {
          frame.visited = 1;
          stack.push_back({node.operands_.front().get(), 0});
          continue;
        }
        result = !result;
        break;
      case Type::And:
      case Type::Or: {
        // An operand that yields `settling` settles the compound; else the last one answers.
        const bool settling = node.type_ == Type::Or;
        if (frame.visited == 0 && node.operands_.empty()) {
          result = !settling;
        } else if ((frame.visited == 0 || result != settling) &&
                   frame.visited < node.operands_.size()) {
          const Predicate* operand = node.operands_[frame.visited++].get();
          stack.push_back({operand, 0});
          continue;
        }
        break;
      }
    }
    stack.pop_back();
  }
  return result;
}

bool Predicate::evaluateComparison(const ValueSource& values, const KeyResolver& resolver) const {
  const auto resolved = resolver(key_);
  if (!resolved) {
    return false;
  }
  const Kind kind = resolved->kind;
  if (std::holds_alternative<std::monostate>(value_)) {
    if (op_ != ComparisonOperator::Equal && op_ != ComparisonOperator::NotEqual) {
      return false;
    }
    const bool isNull = !fits(values(key_), kind);
    return (op_ == ComparisonOperator::Equal) == isNull;
  }
  if (!fits(value_, kind) || (matchesText(op_) && !std::holds_alternative<std::string>(value_))) {
    return false;
  }
  const Value row = values(key_);
  if (!fits(row, kind)) {
    return op_ == ComparisonOperator::NotEqual;
  }
  if (!matchValue_ || kind != Kind::Text) {
    return orderingHolds(op_, compareFitting(row, value_, kind));
  }
  const std::string rowForm = matchForm(std::get<std::string>(row), options_);
  switch (op_) {
    case ComparisonOperator::Contains:
      return rowForm.find(*matchValue_) != std::string::npos;
    case ComparisonOperator::BeginsWith:
      return rowForm.starts_with(*matchValue_);
    case ComparisonOperator::Like:
      return likeMatches(rowForm, *matchValue_);
    default:
      return orderingHolds(op_, threeWay(rowForm, *matchValue_));
  }
}

std::string Predicate::description() const {
  // Our own stack rather than the thread's, as in evaluate().
  struct Frame {
    const Predicate* node;
    size_t visited;  // operands described so far
    bool closes;     // whether a parenthesis opened before the node
  };
  std::string out;
  std::vector<Frame> stack{{this, 0, false}};
  const auto open = [&out, &stack](const Predicate& operand) {
    const bool parenthesized =
        (operand.type_ == Type::And || operand.type_ == Type::Or) && !operand.operands_.empty();
    if (parenthesized) {
      out += '(';
    }
    stack.push_back({&operand, 0, parenthesized});
  };
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const Predicate& node = *frame.node;
    switch (node.type_) {
      case Type::Constant:
      case Type::Comparison:
        node.describeLeaf(out);
        break;
      case Type::Not:
        if (frame.visited == 0) {
          frame.visited = 1;
          out += "NOT ";
          open(*node.operands_.front());
          continue;
        }
        break;
      case Type::And:
      case Type::Or:
        if (node.operands_.empty()) {
          out += node.type_ == Type::And ? "TRUEPREDICATE" : "FALSEPREDICATE";
        } else if (frame.visited < node.operands_.size()) {
          if (frame.visited > 0) {
            out += node.type_ == Type::And ? " AND " : " OR ";
          }
          open(*node.operands_[frame.visited++]);
          continue;
        }
        break;
    }
    if (stack.back().closes) {
      out += ')';
    }
    stack.pop_back();
  }
  return out;
}

void Predicate::describeLeaf(std::string& out) const {
  if (type_ == Type::Constant) {
    out += constantValue_ ? "TRUEPREDICATE" : "FALSEPREDICATE";
    return;
  }
  out += key_;
  out += ' ';
  out += operatorText(op_);
  if (hasOption(options_)) {
    out += '[';
    out += options_.caseInsensitive ? "c" : "";
    out += options_.diacriticInsensitive ? "d" : "";
    out += ']';
  }
  out += ' ';
  describeValue(value_, out);
}

}  // namespace tq
