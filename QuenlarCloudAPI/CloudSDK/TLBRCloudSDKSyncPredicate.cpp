#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncPredicate.h"

#include <array>
#include <optional>
#include <utility>
#include <variant>

#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncDateUtils.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"
#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"

namespace {

using tq::ComparisonOperator;
using tq::Predicate;
using tq::PredicatePtr;

constexpr std::string_view kEntity = "TQDBResource";
constexpr std::string_view kAnd = "AND";
constexpr std::string_view kOr = "OR";

// --- Text helpers ---------------------------------------------------------------------------

// The byte length of the white space or line end starting at `position`, else 0: Unicode's
// separators (Z*), the controls U+0009 to U+000D and U+0085.
size_t whiteSpaceAt(std::string_view text, size_t position) {
  const auto byte = [&](size_t i) -> unsigned {
    return position + i < text.size() ? static_cast<unsigned char>(text[position + i]) : 0U;
  };
  const unsigned b0 = byte(0);
  const unsigned b1 = byte(1);
  const unsigned b2 = byte(2);
  if (position >= text.size()) {
    return 0;
  }
  if (b0 == ' ' || (b0 >= 0x09 && b0 <= 0x0D)) {
    return 1;
  }
  switch (b0) {
    case 0xC2:  // U+0085, U+00A0
      return b1 == 0x85 || b1 == 0xA0 ? 2 : 0;
    case 0xE1:  // U+1680
      return b1 == 0x9A && b2 == 0x80 ? 3 : 0;
    case 0xE2:  // U+2000 to U+200A, U+2028, U+2029, U+202F; U+205F
      if (b1 == 0x80 && ((b2 >= 0x80 && b2 <= 0x8A) || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF)) {
        return 3;
      }
      return b1 == 0x81 && b2 == 0x9F ? 3 : 0;
    case 0xE3:  // U+3000
      return b1 == 0x80 && b2 == 0x80 ? 3 : 0;
    default:
      return 0;
  }
}

// The byte length of the white space that ends just before `position`, else 0.
size_t whiteSpaceBefore(std::string_view text, size_t position) {
  for (size_t length = 1; length <= 3 && length <= position; ++length) {
    if (whiteSpaceAt(text, position - length) == length) {
      return length;
    }
  }
  return 0;
}

std::string_view trimWhiteSpace(std::string_view text) {
  while (const size_t length = whiteSpaceAt(text, 0)) {
    text.remove_prefix(length);
  }
  while (const size_t length = whiteSpaceBefore(text, text.size())) {
    text.remove_suffix(length);
  }
  return text;
}

std::string_view trimSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view trimBrackets(std::string_view text) {
  const size_t first = text.find_first_not_of("[]");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of("[]") - first + 1);
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  result.reserve(text.size());
  size_t start = 0;
  for (size_t position = text.find(from); position != std::string_view::npos;
       position = text.find(from, start)) {
    result.append(text.substr(start, position - start)).append(to);
    start = position + from.size();
  }
  result.append(text.substr(start));
  return result;
}

std::vector<std::string_view> splitAtSpaces(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t space = text.find(' '); space != std::string_view::npos;
       space = text.find(' ', start)) {
    parts.push_back(text.substr(start, space - start));
    start = space + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

bool isJoinWord(std::string_view token) { return token == kAnd || token == kOr; }

// The first occurrence of `word` at or after `from` that stands as a whole word: white space or
// the text's end on each side. "ORANGE" and "THE DOORS" hold no join word.
size_t findJoinWord(std::string_view text, std::string_view word, size_t from) {
  for (size_t position = text.find(word, from); position != std::string_view::npos;
       position = text.find(word, position + 1)) {
    const size_t end = position + word.size();
    const bool startsWord = position == 0 || whiteSpaceBefore(text, position) > 0;
    const bool endsWord = end == text.size() || whiteSpaceAt(text, end) > 0;
    if (startsWord && endsWord) {
      return position;
    }
  }
  return std::string_view::npos;
}

// True when, after white space, an optional sign and leading zeros, the text begins with Y, T
// (either case) or a digit 1 to 9: the platform's reading of text as a boolean.
bool booleanValue(std::string_view text) {
  while (const size_t length = whiteSpaceAt(text, 0)) {
    text.remove_prefix(length);
  }
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && text.front() == '0') {
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return false;
  }
  const char c = text.front();
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// --- Term forms ---------------------------------------------------------------------------------

const TQAttribute* attributeOfKind(std::string_view key, TQAttributeKind kind) {
  const TQAttribute* attribute = TQAttributeRegistry::findAttribute(kEntity, key);
  return attribute != nullptr && attribute->kind == kind ? attribute : nullptr;
}

PredicatePtr matchesNothing() { return Predicate::constant(false); }

PredicatePtr booleanTerm(std::string_view key, std::string_view value, bool notEqual) {
  if (attributeOfKind(key, TQAttributeKind::Boolean) == nullptr) {
    return matchesNothing();
  }
  return Predicate::comparison(std::string(key),
                               notEqual ? ComparisonOperator::NotEqual : ComparisonOperator::Equal,
                               booleanValue(value));
}

PredicatePtr dateComparisonTerm(std::string_view key, ComparisonOperator op,
                                std::string_view value) {
  const auto date = TLBRCloudSDKSyncDateUtils::dateFromXMLString(value);
  if (attributeOfKind(key, TQAttributeKind::Date) == nullptr || !date) {
    return matchesNothing();
  }
  return Predicate::andPredicate(
      {Predicate::comparison(std::string(key), ComparisonOperator::NotEqual, std::monostate{}),
       Predicate::comparison(std::string(key), op, *date)});
}

// "[lower word upper]": at or after the lower date and before the upper one. A bound that is
// missing or does not parse ("*" among them) leaves its side open; only a range with neither
// bound matches nothing.
PredicatePtr rangeTerm(std::string_view key, std::string_view value, bool notEqual) {
  if (attributeOfKind(key, TQAttributeKind::Date) == nullptr) {
    return matchesNothing();
  }
  const std::vector<std::string_view> parts = splitAtSpaces(trimBrackets(value));
  const auto lower = TLBRCloudSDKSyncDateUtils::dateFromXMLString(parts[0]);
  const auto upper = parts.size() > 2 ? TLBRCloudSDKSyncDateUtils::dateFromXMLString(parts[2])
                                      : std::nullopt;
  std::vector<PredicatePtr> bounds;
  if (lower) {
    bounds.push_back(
        Predicate::comparison(std::string(key), ComparisonOperator::GreaterOrEqual, *lower));
  }
  if (upper) {
    bounds.push_back(Predicate::comparison(std::string(key), ComparisonOperator::Less, *upper));
  }
  if (bounds.empty()) {
    return matchesNothing();
  }
  PredicatePtr range =
      bounds.size() == 1 ? bounds.front() : Predicate::andPredicate(std::move(bounds));
  return notEqual ? Predicate::notPredicate(range) : range;
}

PredicatePtr textTerm(std::string_view key, ComparisonOperator op, std::string value,
                      tq::ComparisonOptions options, bool negated = false) {
  if (attributeOfKind(key, TQAttributeKind::Text) == nullptr) {
    return matchesNothing();
  }
  PredicatePtr term = Predicate::comparison(std::string(key), op, std::move(value), options);
  return negated ? Predicate::notPredicate(term) : term;
}

// --- Combining ----------------------------------------------------------------------------------

// The left fold "((a op b) op c) ..." of the terms. A missing operand (a term with no comparison,
// or a join word where a term belongs) leaves the other side as it is. Each run of one join word
// becomes one flat compound, so that a run costs no nesting and no quadratic work here; only a
// change of word nests, and tq::Predicate takes any depth.
class LeftFold {
 public:
  void add(PredicatePtr operand, bool conjunction) {
    if (operand == nullptr) {
      return;
    }
    if (operands_.size() > 1 && conjunction != conjunction_) {
      collapse();
    }
    conjunction_ = conjunction;
    operands_.push_back(std::move(operand));
  }

  PredicatePtr result() {
    collapse();
    return operands_.empty() ? nullptr : operands_.front();
  }

 private:
  void collapse() {
    if (operands_.size() > 1) {
      PredicatePtr compound = conjunction_ ? Predicate::andPredicate(std::move(operands_))
                                           : Predicate::orPredicate(std::move(operands_));
      operands_ = {std::move(compound)};
    }
  }

  std::vector<PredicatePtr> operands_;
  bool conjunction_ = false;
};

// One item of the component list: a join word or a term's predicate (possibly none).
using Component = std::variant<std::string, PredicatePtr>;

PredicatePtr predicateOf(const Component& component) {
  const auto* predicate = std::get_if<PredicatePtr>(&component);
  return predicate != nullptr ? *predicate : nullptr;
}

bool isAndWord(const Component& component) {
  const auto* word = std::get_if<std::string>(&component);
  return word != nullptr && *word == kAnd;
}

void appendClauseComponents(const std::string& clause, bool caseSensitivity,
                            std::vector<Component>& components) {
  const std::vector<std::string> tokens = clause.ends_with(']')
                                              ? std::vector<std::string>{clause}
                                              : TLBRCloudSDKSyncPredicate::splitAtJoin(clause);
  if (tokens.size() == 1) {
    if (isJoinWord(tokens[0])) {
      components.emplace_back(tokens[0]);
    } else {
      components.emplace_back(
          TLBRCloudSDKSyncPredicate::predicateFromComponent(tokens[0], caseSensitivity));
    }
  } else if (tokens.size() == 2) {
    if (isJoinWord(tokens[0])) {
      components.emplace_back(tokens[0]);
      components.emplace_back(
          TLBRCloudSDKSyncPredicate::predicateFromComponent(tokens[1], caseSensitivity));
    } else {
      components.emplace_back(
          TLBRCloudSDKSyncPredicate::predicateFromComponent(tokens[0], caseSensitivity));
      components.emplace_back(tokens[1]);
    }
  } else {
    std::vector<std::string> group;
    for (const auto& token : tokens) {
      if (!token.empty()) {
        group.push_back(token);
      }
    }
    components.emplace_back(TLBRCloudSDKSyncPredicate::predicateFromGroup(group, caseSensitivity));
  }
}

}  // namespace

tq::PredicatePtr TLBRCloudSDKSyncPredicate::predicateFromString(std::string_view query,
                                                                bool caseSensitivity) {
  const std::vector<std::string> clauses = splitQueryIntoClauses(query);
  if (clauses.size() == 1) {
    return predicateFromGroup(splitAtJoin(clauses[0]), caseSensitivity);
  }
  std::vector<Component> components;
  for (const auto& clause : clauses) {
    appendClauseComponents(clause, caseSensitivity, components);
  }
  if (components.empty()) {
    return nullptr;
  }
  // No precedence: a AND b OR c is (a AND b) OR c.
  LeftFold fold;
  fold.add(predicateOf(components[0]), false);
  for (size_t i = 1; i + 1 < components.size(); i += 2) {
    fold.add(predicateOf(components[i + 1]), isAndWord(components[i]));
  }
  return fold.result();
}

std::vector<std::string> TLBRCloudSDKSyncPredicate::splitQueryIntoClauses(std::string_view query) {
  const std::string escaped = reformatQueryToEscapeCertainControlCharacters(query);
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (start <= escaped.size()) {
    size_t end = escaped.find_first_of("()", start);
    if (end == std::string::npos) {
      end = escaped.size();
    }
    const std::string_view piece = trimSpaces(std::string_view(escaped).substr(start, end - start));
    if (!piece.empty()) {
      pieces.push_back(piece);
    }
    start = end + 1;
  }

  std::vector<std::string> clauses;
  std::optional<std::string> keyPrefix;
  for (const std::string_view piece : pieces) {
    if (piece.ends_with(':')) {
      // "type:x AND name:" adds type:x and AND; name: then applies to the groups that follow.
      std::vector<std::string> tokens = splitAtJoin(piece);
      if (!tokens.empty()) {
        keyPrefix = std::move(tokens.back());
        tokens.pop_back();
      }
      for (auto& token : tokens) {
        clauses.push_back(std::move(token));
      }
    } else if (keyPrefix && piece.find(':') == std::string_view::npos) {
      std::string clause;
      for (const auto& token : splitAtJoin(piece)) {
        if (isJoinWord(token)) {
          clause += " " + token + " ";
        } else {
          clause += *keyPrefix + token + " ";
        }
      }
      clauses.push_back(std::move(clause));
    } else {
      keyPrefix.reset();
      clauses.emplace_back(piece);
    }
  }
  return clauses;
}

std::vector<std::string> TLBRCloudSDKSyncPredicate::splitAtJoin(std::string_view text) {
  std::vector<std::string> tokens;
  size_t start = 0;
  // Each word's next occurrence is looked for again only once the text has moved past it, so a
  // clause of many terms is split in one pass.
  size_t andAt = findJoinWord(text, kAnd, 0);
  size_t orAt = findJoinWord(text, kOr, 0);
  for (;;) {
    if (andAt != std::string_view::npos && andAt < start) {
      andAt = findJoinWord(text, kAnd, start);
    }
    if (orAt != std::string_view::npos && orAt < start) {
      orAt = findJoinWord(text, kOr, start);
    }
    if (andAt == std::string_view::npos && orAt == std::string_view::npos) {
      break;
    }
    const bool isAnd = andAt < orAt;
    const size_t position = isAnd ? andAt : orAt;
    const std::string_view word = isAnd ? kAnd : kOr;
    const std::string_view before = trimWhiteSpace(text.substr(start, position - start));
    if (!before.empty()) {
      tokens.emplace_back(before);
    }
    tokens.emplace_back(word);
    start = position + word.size();
  }
  const std::string_view rest = trimWhiteSpace(text.substr(start));
  if (!rest.empty()) {
    tokens.emplace_back(rest);
  }
  return tokens;
}

tq::PredicatePtr TLBRCloudSDKSyncPredicate::predicateFromGroup(const std::vector<std::string>& list,
                                                               bool caseSensitivity) {
  if (list.empty()) {
    return nullptr;
  }
  LeftFold fold;
  fold.add(predicateFromComponent(list[0], caseSensitivity), false);
  for (size_t i = 2; i < list.size(); i += 2) {
    fold.add(predicateFromComponent(list[i], caseSensitivity),
             NSString_HelperMethods::equalsIgnoringCase(list[i - 1], kAnd));
  }
  return fold.result();
}

tq::PredicatePtr TLBRCloudSDKSyncPredicate::predicateFromComponent(std::string_view term,
                                                                   bool caseSensitivity) {
  // Where to cut, in this order of preference; the forms below test for the signs anywhere.
  static constexpr std::array<std::string_view, 6> kCuts = {"<>", ">=", "<=", "<", ">", ":"};
  size_t cut = std::string_view::npos;
  std::string_view sign;
  for (const std::string_view candidate : kCuts) {
    cut = term.find(candidate);
    if (cut != std::string_view::npos) {
      sign = candidate;
      break;
    }
  }
  if (cut == std::string_view::npos) {
    return nullptr;
  }
  const std::string_view key = term.substr(0, cut);
  const std::string_view value = term.substr(cut + sign.size());
  const bool notEqual = sign == "<>";
  const auto termHas = [term](std::string_view s) {
    return term.find(s) != std::string_view::npos;
  };

  if (key == "file" || key == "favorite") {
    return booleanTerm(key, value, notEqual);
  }
  if (!notEqual) {
    if (termHas("<=")) {
      return dateComparisonTerm(key, ComparisonOperator::LessOrEqual, value);
    }
    if (termHas(">=")) {
      return dateComparisonTerm(key, ComparisonOperator::GreaterOrEqual, value);
    }
    if (termHas("<")) {
      return dateComparisonTerm(key, ComparisonOperator::Less, value);
    }
    if (termHas(">")) {
      return dateComparisonTerm(key, ComparisonOperator::Greater, value);
    }
  }
  if (value.starts_with('[')) {
    return rangeTerm(key, value, notEqual);
  }
  const bool wildcard = value.find('*') != std::string_view::npos;
  std::string decoded = decodeEscapedCharactersToOriginalState(value);
  const auto equality = notEqual ? ComparisonOperator::NotEqual : ComparisonOperator::Equal;
  if (!wildcard && key == "path") {
    return textTerm("parentPath", equality, std::move(decoded), {});
  }
  if (!wildcard && notEqual) {
    return textTerm(key, ComparisonOperator::NotEqual, std::move(decoded), {});
  }
  const tq::ComparisonOptions options{.caseInsensitive = !caseSensitivity,
                                      .diacriticInsensitive = true};
  if (!wildcard) {
    return textTerm(key, ComparisonOperator::Contains, std::move(decoded), options);
  }
  return textTerm(key, ComparisonOperator::Like, std::move(decoded), options, notEqual);
}

std::string TLBRCloudSDKSyncPredicate::reformatQueryToEscapeCertainControlCharacters(
    std::string_view text) {
  std::string result(text);
  for (const std::string_view character : {"(", ")", "[", "]", ":"}) {
    std::string escape = "\\";
    escape += character;
    result = replaceAll(result, escape, urlEncodeForString(character));
  }
  return result;
}

std::string TLBRCloudSDKSyncPredicate::decodeEscapedCharactersToOriginalState(
    std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kEscapes = {{
      {"%28", "("},
      {"%29", ")"},
      {"%5B", "["},
      {"%5D", "]"},
      {"%3A", ":"},
  }};
  std::string result(text);
  for (const auto& [escape, character] : kEscapes) {
    result = replaceAll(result, escape, character);
  }
  return result;
}

std::string TLBRCloudSDKSyncPredicate::urlEncodeForString(std::string_view text) {
  static constexpr std::string_view kKept = "-._~!*';/?@&=+$,#";
  static constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool alphanumeric =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (alphanumeric || kKept.find(c) != std::string_view::npos) {
      result += c;
    } else {
      result += '%';
      result += kHex[byte >> 4U];
      result += kHex[byte & 0x0FU];
    }
  }
  return result;
}
