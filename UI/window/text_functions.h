// Text helpers shared by the window procedures.
#pragma once

#include <string>
#include <string_view>

namespace plexmoor {

// Field n (from 1) of text split at delimiter; a field after the last
// delimiter runs to the end, one beyond that is empty, n <= 0 is empty.
// Field n > 1 starts one character after the start of the delimiter before
// it, which matters only for delimiters longer than one character.
std::string FieldOf(std::string_view text, std::string_view delimiter, int n);

// Surrounding blanks (spaces) removed.
std::string Trim(std::string_view text);

// Every maximal run of CR and LF characters made one blank.
std::string JoinLines(std::string_view text);

// Each run of consecutive c characters replaced by r (the first c of a run
// becomes r, the others are dropped). A result that would be empty gives the
// text back unchanged, so a text of nothing but c is kept.
std::string ReplaceRuns(std::string_view text, char c, std::string_view r);

// The text taken as a line or a token of a list: Trim(JoinLines(text)).
std::string Token(std::string_view text);

} // namespace plexmoor
