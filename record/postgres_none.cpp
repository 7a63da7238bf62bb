// The PostgreSQL store where libpq is not built (the Windows builds): a
// postgresql:// location is refused with the reason and what to use, never
// taken for a file name.
#include "database.h"
#include "record.h"
#include "record_texts.h"

namespace plexmoor::record {

std::unique_ptr<Database> OpenPostgres(const std::string&) {
    throw Error(text::kNoPostgresHere);
}

} // namespace plexmoor::record
