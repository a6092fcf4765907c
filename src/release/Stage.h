// The stage: a new release laid beside the installation while the control
// program runs (/STAGE), so that the update, once the control program is
// closed, only switches it in by renames. The release lies in
// "<StagingRoot>\<tag>"; its record (SetUp.staged, kind TLXSTAGE, written
// whole once the stage is complete) names the tag, the release, the setup
// file's recorded digest and every staged file with its stamp and CRC-32. A
// stage is only a shortcut: one that cannot be trusted is dropped and the
// update runs the package as without it. Windows only; shows nothing.
#pragma once
#include <string>
#include <vector>

#include "release/RecordFile.h"

extern const RecordKind kStageKind;

struct StagedFile {
    std::string path;  // below the stage's directory
    std::string stamp; // size and last write time, as FileStamp
    std::string crc;   // CRC-32 of its bytes, hex
};

struct StageRecord {
    std::string tag;
    std::string release; // the name the setup file records (or its file name)
    std::string digest;  // the setup file's recorded digest, hex
    std::string dir;     // StagingRoot()\tag
    std::string when;
    std::vector<StagedFile> files;
};

struct StageMade {
    bool ok = false;
    bool noSpace = false;    // the staging volume lacks room (the problem says how much)
    bool notLaid = false;    // the package cannot be laid elsewhere (no "/D=" header): nothing staged
    std::string problem;     // why not, in Chinese
    std::string dir;
    unsigned long long bytes = 0;
    unsigned long long packageSize = 0;
    size_t files = 0;
    std::vector<std::string> dropped; // what an earlier stage or a cut one left, removed first
};

// Lays the setup file's release into a fresh staging directory, hashes it and
// writes the record; an earlier stage and leftovers are removed first.
// Nothing of the installation is touched.
StageMade MakeStage(const std::string& setupPath, const std::string& release, const std::string& digest);

struct StageFound {
    enum State {
        none,      // no record
        usable,    // whole, of this digest, every file as staged
        notUsable, // a record that cannot be trusted, of another digest, or files changed
    };
    State state = none;
    StageRecord record;  // as far as it could be read
    std::string reason;  // notUsable: why, in Chinese
};

// Reads the record and checks it against the setup file's digest and, with
// checkFiles, every staged file (stamp and content, nothing missing or added).
StageFound FindStage(const std::string& digest, bool checkFiles);

// Removes the record and every directory of our tag form below StagingRoot
// (a stage directory without a record is what a cut /STAGE leaves); returns
// what was removed, for the log. Anything else there is left.
std::vector<std::string> DropStage();

// Why the staging place may have been written by others than administrators,
// or empty.
std::string OtherWritersOfStaging();

// Moves a usable stage onto installRoot by renames. The record goes first,
// so that a cut leaves a directory without a record, which the next run
// drops. Empty, or what could not be moved.
std::string SwitchToStage(const StageFound& stage, const std::string& installRoot);
