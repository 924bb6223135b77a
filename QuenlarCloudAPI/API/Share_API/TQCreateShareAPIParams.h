// TQCreateShareAPIParams: the record of a share's creation: its name, the resources it gives out
// and how long it lasts. A copy (copy()) carries the access token alone.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"
#include "QuenlarCloudAPI/API/Share_API/TQResourceShareAPIParams.h"
#include "QuenlarCloudAPI/Model/TQNumber.h"

class TQCreateShareAPIParams : public TQResourceAPIParams {
 public:
  TQCreateShareAPIParams() = default;

  // The share's name; empty leaves the naming to the server.
  std::string name;
  // What the share gives out, in this order; at least one.
  std::vector<TQResourceShareAPIParams> resources;
  // The share's lifetime as the server reads it, sent as given (an integer stays an integer);
  // nullopt for the server's default.
  std::optional<TQNumber> expiresIn;

  // In this order: the access token; an expiresIn below zero, compared at its full width
  // ("Negative expiresIn"); no resources ("Resources").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQCreateShareAPIParams>();
  }
};
