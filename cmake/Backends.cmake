# Which backend each system takes, in one place: the platform layer's
# folders (platform/<folder>/, in this order), the window toolkit's
# (ui/toolkit/<folder>/), with the system libraries each links, and the
# system's name, which the test support's and the tests' own system folders
# carry (testing/platform/<system>/, tests/platform/<system>/).
if(WIN32)
  set(VARNO_PLATFORM_BACKENDS windows)
  set(VARNO_PLATFORM_LIBS winmm setupapi)
  set(VARNO_ODBC_LIB odbc32)
  set(VARNO_TOOLKIT_BACKEND win32)
  set(VARNO_TOOLKIT_LIBS user32 gdi32 comctl32)
  set(VARNO_SYSTEM windows)
  set(VARNO_TESTING_LIBS advapi32)
elseif(EMSCRIPTEN)
  # The browser: Web Serial and HTML elements; no ODBC, no test support.
  set(VARNO_PLATFORM_BACKENDS web)
  set(VARNO_PLATFORM_LIBS)
  set(VARNO_TOOLKIT_BACKEND web)
  set(VARNO_TOOLKIT_LIBS)
  set(VARNO_SYSTEM web)
else()
  # Linux: what any POSIX system offers, then what only Linux has.
  set(VARNO_PLATFORM_BACKENDS posix linux)
  set(VARNO_PLATFORM_LIBS)
  set(VARNO_ODBC_LIB odbc)
  set(VARNO_TOOLKIT_BACKEND qt)
  set(VARNO_TOOLKIT_LIBS Qt6::Widgets)
  set(VARNO_SYSTEM linux)
  set(VARNO_TESTING_LIBS)
endif()
