// A line's database as the station names it: "odbc:" and an ODBC
// connection string. A password never stands on the command line (where
// every user of the machine sees it): it comes from the DSN or from
// VARNOMIKSAL_DB_PASSWORD, and wherever a connection string is shown its
// password is masked.
#pragma once

#include <string>

inline constexpr const char* kDatabasePrefix = "odbc:";
inline constexpr const char* kPasswordVariable = "VARNOMIKSAL_DB_PASSWORD";

// Whether the string holds a password (PWD= or PASSWORD=).
bool HasPassword(const std::string& connection);

// The string with every password's value shown as "***".
std::string MaskedConnection(const std::string& connection);

// The string with the password added (as a braced value), when one is given.
std::string WithPassword(const std::string& connection, const std::string& password);

// `text` (a driver's message) with the password, and any masked string's
// password, taken out.
std::string Masked(const std::string& text, const std::string& password);
