// One directory enumeration for every walker: the entries of a directory that
// match a pattern, "." and ".." left out, in the file system's order.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct DirectoryEntry {
    std::string name;
    unsigned long attributes;
    unsigned long long size;
    bool IsDirectory() const { return (attributes & 0x10) != 0; }
    // A junction, symbolic link or mount point (Wine: a Unix symbolic link).
    bool IsReparsePoint() const { return (attributes & 0x400) != 0; }
    bool IsArchive() const { return (attributes & 0x20) != 0; }
};

// Calls visit for each entry of dir matching pattern ("*", "*.*"); visit
// returns false to stop. False when the enumeration cannot start. A name the
// code page cannot hold comes as platform/WidePath.h writes it (Windows).
// Natively, pattern is a shell glob, for the tools.
bool ForEachEntry(const std::string& dir, const char* pattern, const std::function<bool(const DirectoryEntry&)>& visit);
// Every entry of dir at once: for a walker that moves or deletes entries of
// dir while it goes through them. Empty when dir cannot be listed.
std::vector<DirectoryEntry> ListEntries(const std::string& dir, const char* pattern = "*");
