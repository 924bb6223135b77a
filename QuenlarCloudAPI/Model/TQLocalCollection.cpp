#include "QuenlarCloudAPI/Model/TQLocalCollection.h"

#include <memory>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQLocalSearch.h"
#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchAPIParams.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_SearchQueryHelperMethods.h"

namespace TQLocalCollection {

tq::PredicatePtr audioFilesPredicate(std::string_view key, std::string_view name) {
  const tq::ComparisonOptions ignoringCaseAndDiacritics{.caseInsensitive = true,
                                                        .diacriticInsensitive = true};
  return tq::Predicate::andPredicate(
      {tq::Predicate::comparison(std::string(key), tq::ComparisonOperator::Contains,
                                 std::string(name), ignoringCaseAndDiacritics),
       tq::Predicate::comparison("mimeType", tq::ComparisonOperator::Contains,
                                 std::string("audio"))});
}

void getAudioFiles(std::string_view key, std::string_view name,
                   TQMediaListCompletionHandler<TQAudio> completionHandler) {
  auto params = std::make_shared<TQSearchAPIParams>();
  // The query text that describes this search; the predicate stands for it.
  params->query = NSString_SearchQueryHelperMethods::setValue("*" + std::string(name) + "*", key);
  TQLocalSearch::searchAudioFiles(params, audioFilesPredicate(key, name),
                                  std::move(completionHandler));
}

}  // namespace TQLocalCollection
