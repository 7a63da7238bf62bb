// The record's rows as the user reads them: CSV and JSON for other tools,
// an aligned table for a terminal. One column list serves all three.
#pragma once

#include "record.h"

#include <string>
#include <vector>

namespace plexmoor::record {

// A JSON string of s: quotes, backslashes and control characters escaped.
std::string JsonString(const std::string& s);

std::string Csv(const std::vector<Entry>& rows);
std::string Json(const std::vector<Entry>& rows);
std::string Table(const std::vector<Entry>& rows);

struct Column {
    const char* name;
    bool in_table; // the terminal's table leaves the long ones out
    std::string (*text)(const Entry&);
};
const std::vector<Column>& Columns();

} // namespace plexmoor::record
