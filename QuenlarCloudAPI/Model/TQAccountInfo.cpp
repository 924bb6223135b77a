#include "QuenlarCloudAPI/Model/TQAccountInfo.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"

std::shared_ptr<TQAccountInfo> TQAccountInfo::initWithDict(const tq::JSON& dict) {
  std::shared_ptr<TQAccountInfo> info(new TQAccountInfo());
  const tq::JSON* usage = TQJSONReading::member(dict, "usage");
  info->quota_ = TQJSONReading::int64Value(TQJSONReading::member(usage, "quota"));
  info->quotaUsed_ = TQJSONReading::int64Value(TQJSONReading::member(usage, "quotaUsed"));
  info->ID_ = TQJSONReading::description(TQJSONReading::member(dict, "id"));
  info->alias_ = TQJSONReading::description(TQJSONReading::member(dict, "alias"));
  return info;
}
