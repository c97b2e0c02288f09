// The two lookups in the type database: by a file's first bytes and by an
// extension. Both read the database at the path as it is at the moment of
// the call; a database that does not exist finds nothing and raises no
// error, one that exists but cannot be read raises TypeDbIoError.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "typedb/ExtRecord.h"
#include "typedb/TypeDatabase.h"

namespace ravo {

// The record the database holds for the extension, compared in lower case:
// the first exact record with a signature, else the last exact record, else
// the last record whose description mentions the extension (provided its own
// Ext is not empty). When found, Ext is the lower-cased extension cut to 10
// bytes and Description the found record's; the signature fields are unset.
std::optional<TExtInfo> LookupByExt(const std::string& databasePath, std::string_view ext);

// The real extension that the header calls for, or nullopt for no verdict.
// The first record whose signature matches decides: a signature record gives
// its Ext exactly as stored (no verdict when its description is blank); a
// family record keeps the given extension, lower-cased and cut to 10 bytes,
// unless that extension is listed in the family's description and its own
// record in the database has a blank description (no verdict).
std::optional<std::string> MatchSignature(const std::string& databasePath, std::string_view ext,
                                          const FileHeader& header);

// The same lookups in a database already loaded.
std::optional<TExtInfo> LookupByExt(const TypeDatabase& database, std::string_view ext);
std::optional<std::string> MatchSignature(const TypeDatabase& database, std::string_view ext,
                                          const FileHeader& header);

}  // namespace ravo
