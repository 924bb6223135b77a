#include "QuenlarCloudAPI/API/Contact_API/TQContactListAnswer.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQContact.h"

namespace TQContactListAnswer {
namespace {

const tq::JSON* contactsMember(const tq::JSON& answer) {
  using TQJSONReading::member;
  return member(member(member(member(answer, "contactsResponse"), "account"), "addrbook"),
                "contacts");
}

// The pointers point into `json`, which the caller holds while it reads them.
std::vector<const tq::JSON*> contactObjects(const std::shared_ptr<const tq::JSON>& json) {
  if (!json) {
    return {};
  }
  return TQJSONReading::objects(TQJSONReading::member(contactsMember(*json), "contact"));
}

}  // namespace

size_t contactCount(const TQAPIQueryResponse& response) {
  return contactObjects(response.jsonResponse()).size();
}

std::vector<std::shared_ptr<TQContact>> contacts(const TQAPIQueryResponse& response) {
  const auto json = response.jsonResponse();
  const auto objects = contactObjects(json);
  std::vector<std::shared_ptr<TQContact>> result;
  result.reserve(objects.size());
  for (const tq::JSON* object : objects) {
    result.push_back(TQContact::initWithDictionary(*object));
  }
  return result;
}

int64_t itemcount(const TQAPIQueryResponse& response) {
  const auto json = response.jsonResponse();
  if (!json) {
    return 0;
  }
  return TQJSONReading::int64Value(TQJSONReading::member(contactsMember(*json), "itemcount"));
}

}  // namespace TQContactListAnswer
