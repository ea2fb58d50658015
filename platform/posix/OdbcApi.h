// The ODBC API as unixODBC declares it (SQLWCHAR is UTF-16 there too).
#pragma once

#include <sql.h>
#include <sqlext.h>
