#include "QuenlarCloudAPI/API/Contact_API/TQUpdateContactAPI.h"

#include "QuenlarCloudAPI/API/Contact_API/TQUpdateContactAPIParams.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQUpdateContactAPI::prepareQuery() {
  const auto params = validatedParams<TQUpdateContactAPIParams>();
  prepareBodyRequest(*params, "PUT",
                     serverBaseURLText() + "/cloud/1/contacts/" +
                         NSString_HelperMethods::urlPathSegmentsEncoded(params->contactID));
}
