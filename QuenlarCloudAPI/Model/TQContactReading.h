// How contact records and their entries take values from a contact object of the server. The
// server's answers are untrusted: no value shape throws or crashes, and a JSON null reads as an
// absent member everywhere.
#pragma once

#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/JSON.h"

namespace TQContactReading {

// Text form: a string as it is, a number as its decimal text (an identifier sent as a number
// becomes its digits, however many); nil when absent.
std::optional<std::string> text(const tq::JSON* value);

// Raw: the value as the server sent it, nil when absent. Numbers stay numbers and a text stays a
// text, so that the value goes back to the server in the shape it came in.
std::optional<tq::JSON> raw(const tq::JSON* value);

// Truth value: true, a non-zero number, or a text that begins (after blanks, one sign and
// zeros) with Y, y, T, t or a digit 1-9; everything else, absence included, is false.
bool truth(const tq::JSON* value);

}  // namespace TQContactReading
