// Named mutexes: as a sign that another program runs, and as a lock that one
// process owns at a time.
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

enum class MutexTake {
    taken,     // this process owns it now
    abandoned, // owned now; its last owner ended without letting it go
    held,      // another process owned it for the whole wait
    failed,    // the name could not be made or opened (e.g. access denied)
};

// Creates or opens the named mutex and waits up to waitMs to own it. Owned
// (taken, abandoned): *handle is the owning handle, for ReleaseNamedMutex.
// Otherwise *handle is nullptr.
MutexTake TakeNamedMutex(const char* name, unsigned waitMs, void** handle);
// Lets go of a mutex that TakeNamedMutex gave and closes its handle.
void ReleaseNamedMutex(void* handle);
