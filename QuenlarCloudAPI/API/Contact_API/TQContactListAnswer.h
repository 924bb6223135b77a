// Reading the contact listing's answer, shared by the single call, the later pages' response
// operation and the page gathering, so that a page is read one way wherever it arrives. The answer
// nests its list as {"contactsResponse": {"account": {"addrbook": {"contacts": {"contact": [...],
// "itemcount": N}}}}}; a missing level reads as a page without contacts. Stateless; safe from any
// thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

class TQContact;

namespace TQContactListAnswer {

// One contact per contact object of the answer, in order: the "contact" array's object elements
// (others skipped), or a single contact object as a list of one; empty when the body holds none.
// The status is not looked at.
std::vector<std::shared_ptr<TQContact>> contacts(const TQAPIQueryResponse& response);

// How many contacts contacts() reads from the answer, without reading them.
size_t contactCount(const TQAPIQueryResponse& response);

// "itemcount", the size of the whole address book, as a number or as text that starts with one;
// 0 when absent or null, clamped to the signed 64-bit range.
int64_t itemcount(const TQAPIQueryResponse& response);

}  // namespace TQContactListAnswer
