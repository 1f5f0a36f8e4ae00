// The process's threads held still while a dump is written, as the system suspends them: each other
// thread waits in a signal handler, its registers taken, until ResumeThreads. System calls and static
// storage only, so that a fault handler may use it; one caller at a time.
#pragma once

#include <cstddef>

#include "platform/faults.h"

namespace platform {

// Lists the process's threads into ids (at most maxIds) and stops each one but the caller. Answers the
// number listed; a thread that does not stop within a bound is listed all the same.
size_t StopOtherThreads(DWORD* ids, size_t maxIds);
// The registers of a thread that StopOtherThreads stopped; false for one that did not stop.
bool StoppedThreadContext(DWORD id, CONTEXT& context);
// Lets the stopped threads go on.
void ResumeThreads();

} // namespace platform
