// TQDeleteTrashAPIParams: the record of emptying one virtual folder's trash. The facade makes one
// per virtual folder (TQAPISDK::deleteTrashWithCompletionHandler()); hosts never fill one.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQDeleteTrashAPIParams : public TQResourceAPIParams {
 public:
  TQDeleteTrashAPIParams() = default;

  // The virtual folder whose trash is emptied.
  std::string virtualfolder;

  // The access token first, then virtualfolder not empty (key "virtualfolder").
  bool validateParameters() const override;

  // A record of this class with the access token and virtualfolder.
  std::shared_ptr<TQResourceAPIParams> copy() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQDeleteTrashAPIParams>();
  }
};
