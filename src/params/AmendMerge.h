// Merging a saved amend file (the old release's controller values as text)
// into the new release's amend.dat: the new file keeps its entries and their
// order, takes the old value wherever the same key existed, gains the old
// entries it lacks, and keeps only what the new format still declares.
#pragma once
#include <string>
#include <string_view>
#include <vector>

struct AmendEntry {
    std::string key;
    std::string value; // empty for a section header
};
using AmendEntries = std::vector<AmendEntry>;

extern const char kControllerHeader[]; // "[CController]"

// Parses a trimmed, non-empty line; false when it carries nothing.
bool ParseIniLine(const std::string& line, std::string& key, std::string& value);
// The key up to its first "." (unless the "." is its first character).
std::string TopLevelMember(const std::string& key);
bool IsExcludedMember(const std::string& topLevelMember);

// Every entry of a file's bytes, section headers included.
AmendEntries ParseAmendEntries(std::string_view text);
// The "[CController]" section (header once, later duplicates override in
// place) and everything else that carries an entry, in file order.
void ReadControllerSection(const std::string& path, AmendEntries& controller, AmendEntries& other);
void ParseControllerSection(std::string_view text, AmendEntries& controller, AmendEntries& other);
// Old values replace new ones key by key (first unused old occurrence);
// the unused old entries are appended in their order. Consumes old.
void MergeEntries(AmendEntries& controller, AmendEntries& old);
// Keeps the header and the entries whose top-level member the format
// declares in its "CController" block; drops excluded members.
void FilterByFormat(const std::string& formatPath, AmendEntries& controller);
// The same with the declared names already scanned.
void FilterByDeclaredNames(const std::vector<std::string>& declared, AmendEntries& controller);
// The lines "key = value\r\n" (or "key\r\n") of the entries, as one text.
std::string FormatEntries(const AmendEntries& entries);

// Result of a merge, for the caller's summary and the tools. The last three
// come only from MergeAmendFileChecked.
enum class MergeResult {
    merged,
    targetNotWritten,
    formatUnreadable,
    formatWithoutController, // the format parses but declares no "CController" block
    savedNotAmendText,       // empty, binary (a data file) or without one "key = value" line
    nothingCarried,          // none of the saved values is declared by the format
    targetNotAmendText,      // the target holds binary data (a data file given by mistake)
};

// Whether the file at path could be an amend file at all: it can be read
// and holds no NUL byte, as a data file or a program does. Empty is text.
bool IsAmendTextFile(const std::string& path);

// What a merge did to the machine's values, from the merge's own pass: the
// counts and lists of a CarryReport.
struct MergeTally {
    size_t carried = 0;   // saved values that reach the merged file
    AmendEntries dropped; // saved values the format has no member for (excluded members not counted)
    AmendEntries added;   // the target's entries that no saved value reached
};

// Merges saved into target, filtered by the format. The merged file is
// written beside the target and replaces it in one step, so a failure never
// loses the target: it then returns targetNotWritten (the caller tells the
// user) and leaves the old target as it was. A missing target is created. A format
// that cannot be read, or has no "CController" block, declares nothing to
// filter by: the target is left as it was (formatUnreadable).
MergeResult MergeAmendFile(const std::string& savedPath, const std::string& targetPath,
                           const std::string& formatPath);
// The same as a tool runs it, on a saved file that was not made by the setup:
// refuses a saved file that is no amend text, a target that is binary (its
// bytes would be replaced by a listing), and a merge that would carry
// none of the saved values but drop some (a format of another product), and
// tells the format's two faults apart; every refusal leaves the target as it
// was. tally is what the merge carried, dropped and added (for
// nothingCarried, what it would have).
MergeResult MergeAmendFileChecked(const std::string& savedPath, const std::string& targetPath,
                                  const std::string& formatPath, MergeTally& tally);
// The merge of the files' bytes in memory: merged is the text MergeAmendFile
// writes (merged), or untouched (formatUnreadable). formatName stands for the
// format file's name in the trace log.
MergeResult MergeAmendText(std::string_view saved, std::string_view target, std::string_view format,
                           const std::string& formatName, std::string& merged);
// The same with the format's "CController" members already scanned (in the
// format's order), for callers that merge many texts under one format.
// With tally, also what it carried, dropped and added.
void MergeAmendTextByNames(std::string_view saved, std::string_view target, const std::vector<std::string>& declared,
                           std::string& merged, MergeTally* tally = nullptr);
