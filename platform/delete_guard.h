// What the host answers before a document is deleted, beside the rights and the closed
// period: a checked document is deleted by nobody until it is unchecked (its postings, stock
// and vouchers would stay behind), and a repair order that later documents name is not
// deleted (they would point at nothing).
#pragma once

#include <cstdint>
#include <string>

#include "db/database.h"

namespace ws::platform {

// Why the document of that program and number may not be deleted, in the clerk's words;
// empty when nothing stands in the way. table and numberColumn are where the program keeps
// its documents.
std::string DeleteRefusal(db::IDatabase& db, int64_t programNumber, const std::string& table,
                          const std::string& numberColumn, const std::string& number);

}  // namespace ws::platform
