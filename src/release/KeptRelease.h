// The previous release kept after a good update. What the update set aside (PreviousRelease.h) stays in its run's
// directories below "<root>.previous" instead of being deleted, and a record
// in the records' directory (SetUp.kept) names it: each place the update touched,
// with the kept release's copy of it or nothing (the release had nothing
// there), and when and by which setup file the update ran. Going back to it
// is the swap (ReleaseSwap.h).
#pragma once
#include <string>
#include <vector>

#include "release/JournalRecords.h"

// RecordsDir() + "SetUp.kept" (locations).
std::string KeptRecordPath();

struct RecordKind;
// TLXKEPT 2, whole (RecordFile.h). Version 1 could not tell a whole record
// from a cut one and is not read.
extern const RecordKind kKeptKind;

struct KeptEntry {
    std::string original; // a place the update touched
    std::string aside;    // the kept release's copy
    bool held = true;     // the release had something there (false: nothing, and aside stays missing)
};

struct KeptRecord {
    std::string tag;       // the directories' name below each "<root>.previous"
    std::string when;      // the update between the two releases: its time,
    std::string setupFile; // setup file
    std::string digest;    // and that file's MD5 (hex)
    bool keptIsOlder = true; // the kept release is the one before that update
    std::vector<KeptEntry> entries;
    std::vector<std::string> drop; // an earlier kept release's directories still to delete
    // What each release laid in the data tree (DataTreeFiles.h), as paths in
    // the live tree: the one in place and the kept one. Empty where it was
    // not recorded: every file of the data tree but the values is then the
    // operator's.
    std::vector<LaidFile> laid;
    std::vector<LaidFile> keptLaid;
    std::string dataTree; // the place that is the data tree (empty: none recorded)
    std::vector<std::string> carried; // the system and driver files either release carries
};

// What a kept record says of the two releases beyond its tag, entries and
// drops, as record lines: the one writer and reader of these lines, for the
// kept record and for the swap record that carries the next one.
std::vector<std::vector<std::string>> KeptReleaseFacts(const KeptRecord& record);
// Takes one such line into record; false when it is none of them.
bool TakeKeptReleaseFact(const std::vector<std::string>& fields, KeptRecord* record);

enum class KeptReading { none, ok, damaged };
// A record that is not whole, or that names a place outside the product's
// or a copy outside its tag's directories (RecordPlaces.h), is damaged:
// nothing is moved or deleted on its word.
KeptReading ReadKeptRecord(KeptRecord* record, std::string* problem);
// Written whole and put in place in one step; false when it could not be.
bool WriteKeptRecord(const KeptRecord& record);
// The kept release's directories, one per drive its entries lie on.
std::vector<std::string> KeptTagDirectories(const KeptRecord& record);
// The kept release's copies that are not there (deleted by hand, wholly or
// in part): it is no kept release then, and a swap would bring back nothing
// of it. A place where the release had nothing is no copy to miss.
std::vector<std::string> MissingKeptDirectories(const KeptRecord& record);
// The kept release's copy of the data tree, or empty when it held none.
std::string KeptDataCopy(const KeptRecord& record);

// The keep rule, for each drive that would hold part of the kept release:
// after the update, with an earlier kept release deleted, its free space must
// still take a release as large as the kept part again plus a margin of a
// tenth of the drive, at least 256 MiB and at most 2 GiB. The next update
// lays its release while the current one is only renamed aside: a drive
// kept fuller than that would make it fail for want of room; beyond 2 GiB a
// margin says nothing about a release's size.
struct DriveRoom {
    std::string drive;             // "C:"
    unsigned long long freeBytes;  // free now
    unsigned long long totalBytes;
    unsigned long long keptBytes;  // what the kept release holds on it
    unsigned long long freedBytes; // what deleting the earlier kept release frees on it
};
const unsigned long long kKeepMarginFloor = 256ull << 20;
const unsigned long long kKeepMarginCap = 2ull << 30;
// Empty when every drive keeps its margin; otherwise why not, for the setup log.
std::string KeepRefusal(const std::vector<DriveRoom>& drives);

// The update has succeeded (state 20): keeps what it set aside as the
// previous release where the keep rule allows it, or deletes it as before
// (keep false: /NOKEEP). An earlier kept release is deleted once the new
// record is written. Each choice is written to the setup log. False when an
// operator's file could not come home from what was set aside and stays there.
bool KeepOrDiscardPreviousRelease(bool keep, const std::string& setupFile);

// At the start, a journal whose run had succeeded: true when its set-aside
// is already the kept release (the cut came after the record was written):
// the journal goes and an earlier kept release is deleted. False: the
// journal's clean-up runs as before.
bool SettleKeptRelease();

