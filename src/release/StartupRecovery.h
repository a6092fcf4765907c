// The one recovery at a start, for an update, /ROLLBACK and /CHECK alike.
// Every record beside the setup log is read first (the swap, the journal,
// the kept release), and nothing is moved or deleted when one of them cannot
// be trusted; then a swap cut short is settled, then an update cut short is
// undone, or the clean-up it left is finished. Windows only.
#pragma once
#include <string>

#include "release/PreviousRelease.h"

// An update that failed or was cut short: the previous release and its data
// back from where state 5 set them aside, and the run's temporary copies of
// the data gone once that is whole.
UndoResult UndoUpdate();

// What the records say, read without acting on them (/CHECK).
struct RecordsFound {
    std::string damaged;         // "record: why" of the first that cannot be trusted, or empty
    std::string damagedRecord;   // that record's path
    bool keptRecordDamaged = false; // that record is the kept release's
    bool swapCutShort = false;   // a swap to undo or finish
    bool updateCutShort = false; // an update to undo
    bool cleanUpLeft = false;    // an ended run's clean-up
};
RecordsFound InspectRecords();

struct Recovery {
    enum Kind {
        none,         // nothing was left to settle
        cleanedUp,    // an earlier run had ended: only its clean-up was finished
        restored,     // an update cut short was undone: the previous release and its data are back
        swapFinished, // a swap cut short was finished: the kept release is in place
        swapUndone,   // a swap cut short was undone: the current release stays
        notRestored,  // something could not be put back (detail: what, and where its copy is)
        unreadable,   // a record cannot be trusted (detail: the record; the log says why); nothing changed
    };
    Kind kind = none;
    std::string detail;
    bool keptRecordDamaged = false; // unreadable: the record is the kept release's
};
// Settles what a run cut short left, writing each step to the setup log.
Recovery RecoverAtStart();

// The machine's active language as its settings give it (locations'
// ActiveLangName). While an update cut short has set the release aside,
// the live trees may hold half of the new release's: the settings are then
// read from the set-aside copies the journal names.
std::string MachineActiveLangName();
