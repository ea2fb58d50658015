// The start-up queue: procedures that run once the whole schema exists.
#pragma once

using TStartProc = void (*)(void* object);

void AddStartHandler(TStartProc proc, void* object);
void RunStartHandlers();

// Set by RunStartHandlers; cleared and restored around sub-schema creation.
extern bool StartupDone;
