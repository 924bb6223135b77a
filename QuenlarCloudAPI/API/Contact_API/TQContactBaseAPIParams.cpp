#include "QuenlarCloudAPI/API/Contact_API/TQContactBaseAPIParams.h"

#include "QuenlarCloudAPI/Model/TQContactType.h"

void TQContactBaseAPIParams::takeContactType(const TQContactType& entry) {
  type = entry.type();
  indx = entry.indx();
  preference = entry.preference();
}
