// TQGetFavoritesAPIParams: the record of one virtual folder's favorites listing. The facade's
// favorites listing copies the host's record once per virtual folder and names the folder in each
// copy, so copy() keeps virtualFolder and favResourceType as well as the access token.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQFavResourceType.h"
#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQGetFavoritesAPIParams : public TQResourceAPIParams {
 public:
  TQGetFavoritesAPIParams() = default;

  // Name of the virtual folder to list. The facade's listing sets it itself in each copy.
  std::string virtualFolder;
  // The kind of favorites asked for; a new record asks for files and folders.
  TQFavResourceType favResourceType = TQFavResourceTypeFileFolder;

  // In this order: the access token; a non-empty virtualFolder (key "virtualfolder").
  // favResourceType is not checked.
  bool validateParameters() const override;

  std::shared_ptr<TQResourceAPIParams> copy() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQGetFavoritesAPIParams>();
  }
};
