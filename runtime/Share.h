// Everything an element needs of the runtime.
#pragma once

#include "platform/Text1251.h"
#include "runtime/Dispatch.h"
#include "runtime/Element.h"
#include "runtime/Font.h"
#include "runtime/Services.h"
#include "runtime/Startup.h"
#include "runtime/Strings.h"
#include "runtime/TData.h"
#include "runtime/TEventLink.h"
