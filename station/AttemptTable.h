// The table of attempts in a line's database: its SQL, made when missing,
// and one row per attempt, keyed by the attempt's id so that an attempt
// sent twice (a station stopped between the commit and its note of it) is
// stored once.
#pragma once

#include "platform/Odbc.h"
#include "station/AttemptRecord.h"

// CREATE TABLE varnomiksal_attempts (...): portable types only.
extern const char* const kAttemptTableSql;

// Makes the table when it is missing.
bool EnsureAttemptTable(TOdbcConnection& db, TOdbcError& error);

// Inserts one attempt; an attempt whose id is stored already counts as
// inserted.
bool InsertAttempt(TOdbcConnection& db, const TAttemptRecord& record, TOdbcError& error);
