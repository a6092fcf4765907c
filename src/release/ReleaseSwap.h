// Going back to the kept release swaps the two releases by renames on their
// own volumes: the current release moves into fresh directories and becomes
// the kept one, the kept one moves into the original places. The swap record
// (SetUp.swap) is written whole, naming every move, before the first move,
// and written whole again at each phase. A swap cut before the current
// release is wholly out of the way is undone at the next start, one cut later
// is finished. Either way one release is in place and the other kept whole.
// Windows only.
#pragma once
#include <string>
#include <vector>

#include "messages/InstallPort.h"
#include "release/KeptRelease.h"

// BootDir() + "SetUp.swap" (locations).
std::string SwapRecordPath();

struct RecordKind;
// TLXSWAP 2, whole (RecordFile.h); version 1 is not read, as the kept
// record's. Its kept release's lines are the kept record's (KeptReleaseFacts):
// a change of meaning of one of them raises both kinds.
extern const RecordKind kSwapKind;

// What a swap came to.
struct SwapOutcome {
    enum Kind {
        none,      // no swap record (recovery only)
        swapped,   // the kept release is in place; the other one is kept
        undone,    // the current release stays as it was (something could not be moved)
        notWhole,  // a move could not be done either way: the record stays for the next start
        unreadable // the swap record cannot be read or names what is not the product's
    };
    Kind kind = none;
    std::vector<std::string> notMoved; // what could not be moved; unreadable: the record and why
};

// Swaps the current release with the kept one of record. progress, when
// given, shows the step labels of the moves as they begin: ClearOld while the
// current release moves out, CopyFiles while the kept one moves in.
SwapOutcome SwapWithKeptRelease(const KeptRecord& record, InstallPort* progress = nullptr);

// What the swap record left by a cut says, read without acting on it.
enum class SwapFound {
    none,     // no record, or one whose writing was cut before its first move
    toUndo,   // the current release was not wholly out of the way
    toFinish, // it was: the kept release goes on moving in
    damaged,  // cannot be read, or names what is not the product's
};
SwapFound InspectSwapRecord(std::string* problem);
// Undoes or finishes it (see above); a record cut before its first move is
// deleted with a line in the setup log.
SwapOutcome FinishUnfinishedSwap();
