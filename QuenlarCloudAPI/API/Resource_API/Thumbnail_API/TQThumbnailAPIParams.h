// TQThumbnailAPIParams: the record of a thumbnail download: the file's content token and either a
// named size or a width and a height. Every field starts empty or 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQThumbnailAPIParams : public TQResourceAPIParams {
 public:
  TQThumbnailAPIParams() = default;

  // The file's content token (a resource object's "contentToken").
  std::string contentToken;
  // A named size, "xs", "s" or "m" in any letter case; when given, the width and height are not
  // sent.
  std::string size;
  // Width and height in pixels, used when no size is named; both must then be above 0.
  int32_t tw = 0;
  int32_t th = 0;

  // In this order, each message through the host's string table: the access token; an empty
  // content token ("content-token missing"); neither a size nor a positive width and height
  // ("(th and tw) or size missing"); a size other than xs, s or m ("invalid size value").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQThumbnailAPIParams>();
  }
};
