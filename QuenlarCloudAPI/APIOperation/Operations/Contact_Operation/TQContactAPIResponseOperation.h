// TQContactAPIResponseOperation: the response operation of TQContactAPI in a batch. For status 200
// (of a completed transfer) it yields the page's contacts, read as the single call reads them;
// for any other outcome an empty list, never nil.
#pragma once

#include <memory>

#include "QuenlarCloudAPI/API/Contact_API/TQContactListAnswer.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
#include "QuenlarCloudAPI/Model/TQContact.h"

class TQContactAPIResponseOperation final
    : public TQParsingResponseOperation<std::shared_ptr<TQContact>, &TQContactListAnswer::contacts,
                                        200> {};
