// The contact listing's local sort: the order a TQContactAPIParams' `sort` describes, applied to a
// list in memory with the facade's list helpers. Runs on the global queue for the facade, but is
// safe from any thread.
#pragma once

#include <memory>
#include <vector>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPIParams.h"

class TQContact;

namespace TQContactSort {

// `contacts` sorted as getSortKeyWithValue() says: "favorite" with the plain sort (ascending puts
// favorites first), any other key path with the localized case-insensitive one (versions that are
// numbers compare as numbers). The list comes back as it was when `sort` is nil, names no key
// path, or names one a contact does not have: a sort it cannot apply never costs the host its
// contacts.
std::vector<std::shared_ptr<TQContact>> sortedContacts(
    std::vector<std::shared_ptr<TQContact>> contacts, const TQContactAPIParams& params);

}  // namespace TQContactSort
