// TQFetchRequest: what a context fetches: one entity, an optional predicate (nullptr matches
// every row), sort keys and the range of the sorted rows to answer. Keys are attribute names of the
// entity; a predicate or sort key that is not an attribute makes the fetch answer no rows (and log
// a line), never SQL built from it. A plain value.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/Predicate.h"

struct TQSortDescriptor {
  std::string key;
  bool ascending = true;
};

struct TQFetchRequest {
  std::string entityName;
  tq::PredicatePtr predicate;
  // Applied in order; rows that compare equal on every key come in the order they were stored.
  // Text compares by its bytes (binary order); nil sorts before any value.
  std::vector<TQSortDescriptor> sortDescriptors;
  // Kept for callers that set it; results are read whole in any case.
  std::size_t fetchBatchSize = 0;
  // At most this many rows (0: no limit), after leaving out the first fetchOffset rows of the
  // sorted result. The store reads only what is asked for, so a page of a long list costs a page.
  std::size_t fetchLimit = 0;
  std::size_t fetchOffset = 0;
};
