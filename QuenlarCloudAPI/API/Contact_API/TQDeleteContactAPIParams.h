// TQDeleteContactAPIParams: the record of deleting a contact: its identifier.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQDeleteContactAPIParams : public TQResourceAPIParams {
 public:
  TQDeleteContactAPIParams() = default;

  // The contact to delete; empty means none.
  std::string contactID;

  // In this order: the access token; an empty contactID (key "contactID").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQDeleteContactAPIParams>();
  }
};
