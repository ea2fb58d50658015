// The ODBC API of odbc32: its headers need the Windows types first.
#pragma once

#include <windows.h>

#include <sql.h>
#include <sqlext.h>
