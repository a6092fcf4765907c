// A file that this process writes and then holds: while it is held no other
// process can write, rename or delete it (on Windows, through the sharing
// mode of the one handle kept open), so that a program checked while it was
// written is the program that starts.
#pragma once
#include <cstddef>
#include <string>

#include "platform/FileError.h"

class HeldFile {
public:
    HeldFile() = default;
    ~HeldFile(); // closes the file, which stays
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // Creates path, which must not exist, for writing; others may read it
    // but neither write nor delete it. False with *error when it cannot.
    bool Create(const std::string& path, FileError* error);
    // Appends bytes; throws FileError.
    void Write(const void* data, size_t size);
    // Ends the writing and keeps the file open for reading only, still
    // denying others writes and deletes; the file can now be started.
    // Throws FileError (a sharing violation when another process opened it
    // for writing meanwhile).
    void Seal();
    // Lets go of the file.
    void Close();
    // Lets go of the file and deletes it; false when the delete failed.
    bool Discard();

    bool IsOpen() const;
    bool IsSealed() const { return m_sealed; }
    const std::string& Path() const { return m_path; }

private:
#ifdef _WIN32
    void* m_handle = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
#else
    int m_fd = -1;
#endif
    std::string m_path;
    bool m_sealed = false;
};
