// How one collected file could be read: every reader says which of these it
// met, with a line for the page, so that no controller is a silent gap.
#pragma once
#include <string>

enum class FileState {
    ok,
    missing,    // not collected (or never written)
    unreadable, // there, but could not be read
    damaged,    // read, but not what the setup writes
};

struct FileReading {
    FileState state = FileState::missing;
    std::string file;    // the file's name as collected
    std::string problem; // UTF-8, for the page; empty when ok

    bool Ok() const { return state == FileState::ok; }
};

// Reads path whole into *bytes; missing or unreadable when it cannot.
FileReading ReadCollectedFile(const std::string& path, const std::string& name, std::string* bytes);
