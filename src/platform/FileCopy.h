// Copying one file over another and replacing a file in one step.
#pragma once
#include <string>

// Copies from over to. A read-only target is never overwritten, even where
// the file system would let this process do it (an administrator under a
// compatibility layer, root natively): the machine's owner made it read-only.
// On failure returns false with the operating system's error code.
bool CopyFileOver(const std::string& from, const std::string& to, unsigned long* error);

// Deletes a file, read-only or not.
bool RemoveFile(const std::string& path);
// Deletes a file unless it is read-only (or held): what the machine's owner
// protected stays.
bool DeleteUnprotectedFile(const std::string& path);

// Windows only. Copies from to to as the system's file copy does: over an
// existing to only where overwrite is set.
bool CopyFileTo(const std::string& from, const std::string& to, bool overwrite);
// Windows only. Copies from to to through the setup API (which also takes a
// compressed source), over any existing to.
bool InstallFileCopy(const std::string& from, const std::string& to);

// Renames from to to (to must not exist). Across volumes a file may be copied
// and deleted where allowCopy is set; a directory never is.
bool MovePath(const std::string& from, const std::string& to, bool allowCopy);

// Appends text to the file (created when missing) and returns only once it is
// on the disk: a record that must survive a power cut. A failed append leaves
// the file as long as it was.
bool AppendDurably(const std::string& path, const std::string& text);

// Puts from in the place of to in one step (the old to, if any, is gone only
// once from has taken its name), written through to the disk.
bool ReplaceFileAtomically(const std::string& from, const std::string& to);
