// TQFOPSAPIParams: the record of a copy, a move or a rename: the item's path, the target, and
// free texts of the host that go to the server unchanged, each only when non-empty.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQFOPSAPIParams : public TQResourceAPIParams {
 public:
  TQFOPSAPIParams() = default;

  // The item's path, sent as "src".
  std::string source;
  // Sent as "target": the folder to copy or move into, or the new name of a rename, as the
  // server reads it.
  std::string target;
  // Sent as "safe" and "conflictsolve" when non-empty; their meaning is the server's.
  std::string safe;
  std::string conflictsolve;
  // Sent as "override" by a copy when non-empty; a move and a rename never send it.
  std::string overrideRule;

  // The access token first, then source ("source") and target ("target"); these two keys are
  // used as they are, never looked up in the host's string table.
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQFOPSAPIParams>();
  }
};
