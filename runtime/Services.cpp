#include "runtime/Services.h"

#include "platform/Text1251.h"

#include <cstdio>

namespace {
TRuntimeServices g_services;
}

void SetRuntimeServices(const TRuntimeServices& services) {
    g_services = services;
}
const TRuntimeServices& RuntimeServices() {
    return g_services;
}

intptr_t CallIfAssigned(TCallback method, void* object, intptr_t a, intptr_t b) {
    return method ? method(object, a, b) : 0;
}

void DebugMessage(const std::string& text) {
    static const std::string caption = "String-Debug";
    if (g_services.messageBox) {
        g_services.messageBox(caption, text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), Cp1251ToUtf8(text).c_str());
}

void* MainWindowHandle() {
    return g_services.mainWindowHandle ? g_services.mainWindowHandle() : nullptr;
}

void WaitForOtherThread(const std::function<void()>& wait) {
    if (g_services.waitForOtherThread)
        g_services.waitForOtherThread(wait);
    else
        wait();
}
