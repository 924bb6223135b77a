#include "QuenlarCloudAPI/API/Contact_API/TQCreateContactAPI.h"

void TQCreateContactAPI::prepareQuery() {
  const auto params = validatedParams<TQCreateContactAPIParams>();
  prepareBodyRequest(*params, "POST", serverBaseURLText() + "/cloud/1/contacts");
}
