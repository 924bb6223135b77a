// A metadata listing record from designated fields, so that test tables stay one case a line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetaDataAPIParams.h"

namespace metadatatest {

struct Fields {
  std::string path;
  bool includeDeleted = false;
  std::string sort;
  int32_t page = 0;
  int32_t start = 0;
  int32_t count = 0;
  std::string filter;
  std::string accessToken;
};

inline std::shared_ptr<TQMetaDataAPIParams> record(const Fields& fields) {
  auto params = std::make_shared<TQMetaDataAPIParams>();
  params->path = fields.path;
  params->includeDeleted = fields.includeDeleted;
  params->sort = fields.sort;
  params->page = fields.page;
  params->start = fields.start;
  params->count = fields.count;
  params->filter = fields.filter;
  params->accessToken = fields.accessToken;
  return params;
}

}  // namespace metadatatest
