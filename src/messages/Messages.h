// Every text shown to the user exists in Chinese (GBK) and English; one
// process-wide language picks between them. The pairs are constant data.
#pragma once
#include <string>

#include "locations/ProductTreeCheck.h"
#include "messages/InstallPort.h"

// 0 Chinese, 1 English. Start-up sets 0; nothing sets 1 in the field.
extern int language;
enum : int { kLanguageChinese = 0, kLanguageEnglish = 1 };

// Two narrow texts in the order Chinese, English.
struct MessagePair {
    const char* text[2];
};

// The pair's text for the current language (any value other than English
// reads as Chinese, so a stray value never indexes past the pair).
const char* LocalText(const MessagePair& pair);
// A Chinese resource identifier plus 0 (Chinese) or 1000 (English).
int LocalControlId(int chineseId);

// Install sequence and start-up.
extern const MessagePair MsgWipeWarning;          // one "%s": the long InstallRoot
extern const MessagePair MsgNetshFailed;
extern const MessagePair MsgCommitFailed;
extern const MessagePair MsgFirstRunFailed;
extern const MessagePair MsgDriverInstallFailed;
extern const MessagePair MsgInstallSuccess;
extern const MessagePair MsgBootDirFailed;        // used as a format without arguments
extern const MessagePair MsgFileInUse;            // one "%s": a file of the old installation that stays
extern const MessagePair MsgDriverFileFailed;     // one "%s": the driver file name
extern const MessagePair MsgProductTreeRefused;   // three "%s": setup.cfg's path, its Path value, the reason
// MsgProductTreeRefused in the current language with the reason of refusal.
std::string ProductTreeRefusalText(const std::string& setupCfg, const std::string& pathValue, TreeRefusal refusal);
// The reason alone, in the current language (what ProductTreeRefusalText says after the colon).
const char* TreeRefusalReason(TreeRefusal refusal);

// Parameter preservation.
extern const MessagePair MsgReserveQuestionHeader; // start of the dialog's configuration question
extern const MessagePair MsgReserveAsk;            // appended to it before asking
extern const MessagePair MsgReserveFailed;         // "Fail to creat the file *.dat. ..."
extern const MessagePair MsgUnitFileCreateFailed;  // "Create file error while unit files"
extern const MessagePair MsgTransferSummaryHeader;  // "Following configurations:\n"
extern const MessagePair MsgTransferSummarySuccess; // "Reserved parameter success!\n"
// The summary's line per configuration after the pair above: one "%s" the
// configuration and one "%lu" the values carried, then the parts that apply.
extern const MessagePair MsgCarryLineCarried;       // "%s", "%lu"
extern const MessagePair MsgCarryLineDropped;       // "%lu": values the new release has no member for
extern const MessagePair MsgCarryLineAdded;         // "%lu": new members, which keep the release's defaults
extern const MessagePair MsgCarryLineEnd;           // ends a configuration's line
extern const MessagePair MsgCarryReportWhere;       // "%s": the file that lists the dropped values
extern const MessagePair MsgNotCarried;            // one "%s": the configurations, one per line; OK/Cancel
extern const MessagePair MsgSavedValuesKept;       // two "%s": what failed, the directory that keeps the values
extern const MessagePair MsgProductDirChanged;     // one "%s": the directory that keeps the saved values
extern const MessagePair MsgRestoreIncomplete;     // two "%s": the data tree, the directory that keeps the saved files
extern const MessagePair MsgReleaseFilesHeld;      // "%s": the release's files of the data tree a held file kept from being updated
extern const MessagePair MsgPackageFailed;         // two "%s": what failed, the exit code; Retry/Cancel
extern const MessagePair MsgPackageNotStarted;     // what failed: could not be started
extern const MessagePair MsgPackageExitCode;       // what failed: ended with an error
extern const MessagePair MsgPackageNoProduct;      // what failed: no product directory afterwards
extern const MessagePair MsgPackageRejected;       // what failed: its check or its copy (already reported)
extern const MessagePair MsgPreviousRestored;      // the update failed; the previous release is back
extern const MessagePair MsgNewPathRefused;        // three "%s": the new release's setup.cfg, its Path, the reason
extern const MessagePair MsgSameRelease;           // two "%s": the release's name, when it was installed; Yes/No, No the default
extern const MessagePair MsgPreviousNotRestored;   // the update failed; not everything could be put back
extern const MessagePair MsgUnfinishedRun;         // a run cut short was undone at this start
extern const MessagePair MsgUndoNotWhole;          // a run cut short could not be undone whole (what, where its copy is)
extern const MessagePair MsgJournalUnreadable;     // the journal of a run cut short is damaged (the journal)
extern const MessagePair MsgJournalUnwritable;     // the journal cannot be written (the journal, its drive)
extern const MessagePair MsgSetupInsideRelease;    // the setup file lies in a tree that the update sets aside
// Going back to the kept previous release (/ROLLBACK).
extern const MessagePair MsgRollbackNothingKept;   // no kept release: nothing changed
// Four "%s": the kept release's name and install time, the current one's; Yes/No.
extern const MessagePair MsgRollbackToOlder;       // the kept release is the older one: back
extern const MessagePair MsgRollbackToNewer;       // the kept release is the newer one: forward
extern const MessagePair MsgRollbackControlRunning; // OK/Cancel: close the control program first
// The progress window's label of a step, as its dialog template has it.
const MessagePair& StepLabel(InstallStep step);
extern const MessagePair MsgOtherSetupRunning;    // Retry/Cancel: another setup runs; nothing changed yet
// Four "%s" as the question's: the release now in place, the one kept.
extern const MessagePair MsgRollbackDoneOlder;     // went back to the older release
extern const MessagePair MsgRollbackDoneNewer;     // went forward to the newer release
extern const MessagePair MsgReleaseNameUnknown;    // a release the run state does not name
// The command of the system's list of installed programs in place of an
// uninstaller: echoed by cmd, so no & | < > ^ % ( ) in either text.
extern const MessagePair MsgNoUninstaller;
extern const MessagePair MsgInstalledBefore;       // "%s": the update's time, for the older release installed before it
extern const MessagePair MsgRollbackNotDone;       // one "%s": what could not be moved; nothing changed
extern const MessagePair MsgRollbackKeptIncomplete; // one "%s": the kept copies missing; nothing changed
extern const MessagePair MsgRollbackNotWhole;      // one "%s": what could not be moved; the next start goes on
extern const MessagePair MsgRollbackRecordUnreadable; // one "%s": the record or swap journal and why
extern const MessagePair MsgRollbackFinishedBefore; // a swap cut short was finished at this start
extern const MessagePair MsgParamFileAccessFailed; // FormatMessage inserts %1!s! path, %2!d! error

// Format engine listings.
extern const MessagePair MsgEffectReboot;          // effect H
extern const MessagePair MsgEffectLoadProgram;     // effect L
extern const MessagePair MsgEffectAtOnce;          // effect N
extern const MessagePair MsgSerialNumberOrder;     // two "%s": the item names
extern const MessagePair MsgGroupName;             // one "%d": the element index
extern const MessagePair MsgArrayType;             // "%s[%d]": element type name, count
extern const MessagePair MsgMaxLength;             // one "%d": the array count minus one

// Every pair above, with its name, for a check of them all.
struct NamedPair {
    const char* name;
    const MessagePair* pair;
};
const NamedPair* AllMessagePairs(size_t* count);

// Texts that exist in one language only.
extern const char kTextInvalidState[];      // "Invalid state!"
extern const char kTextBadSignature[];      // "Bad Signature"
extern const char kTextCreateProcessFailed[]; // "ERR 203: Create a process failed!"
