// Interrupt requests to a console program (Ctrl+C, a termination request,
// and, until the program commits to its work, the loss of its terminal).
// The system's handler only records the request and wakes the thread that
// waits here; that thread does the work (closing ports, stopping timers),
// never the handler itself.
#pragma once

#include <memory>

class TInterruptWatch {
public:
    // Installs the handler; one watch at a time in a process.
    TInterruptWatch();
    // Restores the system's default handling.
    ~TInterruptWatch();
    TInterruptWatch(const TInterruptWatch&) = delete;
    TInterruptWatch& operator=(const TInterruptWatch&) = delete;

    // Sleeps until an interrupt, a Wake() or the end of timeoutMs (negative:
    // no limit). True when an interrupt has been requested (now or before).
    bool Wait(int timeoutMs);
    // Sleeps until standard input has a line (or has ended), an interrupt,
    // or the end of timeoutMs. True when input is ready and no interrupt has
    // been requested.
    bool WaitInput(int timeoutMs);
    // Ends a Wait in progress (or the next one) early; safe from any thread.
    void Wake();
    bool Interrupted() const;
    // How many interrupt requests (Ctrl+C, a termination request) have come:
    // a station stops taking devices at the first and stops its uploads at
    // the second.
    int Requests() const;
    // From here on a lost terminal (a hang-up: an SSH session dropped) no
    // longer interrupts, so that work begun now, such as an upload, runs to
    // its end. False, with nothing changed, when an interrupt or a hang-up
    // has come already: then nothing may begin.
    bool Commit();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
