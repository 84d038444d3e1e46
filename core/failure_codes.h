// The names and English texts of the reasons a set, save, strip or open
// fails for (the lyparser_reason numbers of lyparser_c.h). One constant
// table, compiled into the module and into the C layer. Thread-safe.
#ifndef LYPARSER_CORE_FAILURE_CODES_H
#define LYPARSER_CORE_FAILURE_CODES_H

#include <string>

#include "lyparser_c.h"

// "READ_ONLY" for LYPARSER_READ_ONLY; "" for LYPARSER_OK and unknown numbers.
const char* FailureCodeName(int code);
// A short English text; "" for LYPARSER_OK and unknown numbers.
const char* FailureCodeText(int code);
// The reason `name` names; LYPARSER_FAILED for a name that names none.
lyparser_reason FailureCodeFromName(const std::string& name);
// "NAME: text", as the module answers "lyparser:last-error"; "" for LYPARSER_OK.
std::string FailureCodeLine(int code);

#endif  // LYPARSER_CORE_FAILURE_CODES_H
