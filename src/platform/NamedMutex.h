// Named mutexes as a sign that another program runs.
#pragma once

enum class MutexProbe {
    created,   // this process made the name: nobody else holds it
    exists,    // another process made it
    failed,    // the name could not be made for another reason
};

// Creates (or opens) the named mutex without owning it. *handle is the handle
// when one was made (nullptr otherwise); the caller closes it.
MutexProbe ProbeNamedMutex(const char* name, void** handle);
void CloseMutexHandle(void* handle);
