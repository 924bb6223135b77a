#include "QuenlarCloudAPI/Helper_Class/NSString_SearchQueryHelperMethods.h"

namespace NSString_SearchQueryHelperMethods {

std::string setValue(std::string_view value, std::string_view key) {
  std::string term(key);
  term += ':';
  term += value;
  return term;
}

std::string doOperation(std::string_view word, const std::vector<std::string>& terms) {
  if (terms.empty()) {
    return "(null)";  // how query text writes a missing value
  }
  std::string text = terms.front();
  for (size_t i = 1; i < terms.size(); ++i) {
    if (terms[i].empty()) {
      continue;
    }
    std::string joined = "(" + text + ") ";
    joined += word;
    joined += " (" + terms[i] + ")";
    text = std::move(joined);
  }
  return text;
}

std::string doAND(const std::vector<std::string>& terms) { return doOperation("AND", terms); }

std::string doOR(const std::vector<std::string>& terms) { return doOperation("OR", terms); }

}  // namespace NSString_SearchQueryHelperMethods
