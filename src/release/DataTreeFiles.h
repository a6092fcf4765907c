// Whose a file of the data tree is, and the moves that follow from it.
//
// A file the release laid in the data tree (its user tree copied in, or what
// its package put there; recorded as "laid" right when it was laid) is the
// release's. A file of the parameter file set holds the machine's values.
// Every other file is the operator's, and so is every file of a release that
// did not record what it laid: the setup cannot tell, so it keeps it.
//
// The release's files and the machine's values move with their release (set
// aside, kept, swapped, dropped); the operator's files stay in the live data
// tree and are never moved by a transition. Where a release's version meets
// the operator's, the operator's stays in place and the release's is kept
// beside it as "<name>.older-YYYYMMDD-HHMMSS<.ext>" (its own last write time):
// ownership is told by the laid stamp, never by which file is newer, since a
// release's file may carry any date. The setup log names both. Nothing here deletes a file
// that is not byte-identical to one that stays. Each record names the data
// tree it set aside itself: while a cut run's program tree is aside,
// setup.cfg, and with it DataProductDir, may be missing. Windows only.
#pragma once
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "release/JournalRecords.h"

// A file's stamp: its size and last write time; empty when unreadable.
std::string FileStamp(const std::string& path);

// Every file below dir (links left out), as the path it has below into, with
// its stamp.
void ListLaidFiles(const std::string& dir, const std::string& into, std::vector<LaidFile>* files);

// What a release laid in the data tree, as paths in the live tree.
class LaidFiles {
public:
    LaidFiles() = default;
    explicit LaidFiles(const std::vector<LaidFile>& files);
    // The file at file (a copy's or the live one) that lies at livePath in
    // the live tree is the one laid there, unchanged.
    bool Holds(const std::string& livePath, const std::string& file) const;
    // A file was laid at livePath, whatever lies there now.
    bool Names(const std::string& livePath) const;
    // A file was laid somewhere below dir.
    bool NamesBelow(const std::string& dir) const;

private:
    std::map<std::string, std::string> m_stamps; // lower-case path: stamp
    std::set<std::string> m_dirs;                // lower-case: every folder above a laid file
};

// A file named like a parameter file holds the machine's values only where
// the carry reads values (below the tree's "config" directory), directly in
// the tree's root, or where a release lays a file (laid, or alsoLaid):
// anywhere else it is the operator's, whatever its name. liveRoot is the
// live data tree.
bool IsMachineValue(const std::string& livePath, const std::string& liveRoot, const LaidFiles& laid,
                    const LaidFiles* alsoLaid = nullptr);

// The file at file, which lies at livePath in the live data tree liveRoot,
// moves with its release: laid by it and unchanged since, or one of the
// machine's values.
bool MovesWithRelease(const std::string& livePath, const std::string& file, const std::string& liveRoot,
                      const LaidFiles& laid);

// The name a file's other version is kept under beside path: path's name
// with ".older-<stamp>" before its extension, made unique; empty when it
// cannot be formed.
std::string OlderVersionName(const std::string& path, unsigned long long lastWrite);

// Moves the release's files and the machine's values of the live tree
// (laid by laid) into copy by renames, leaving the operator's files where
// they are, and those for which stays holds; what cannot be moved is
// appended to notMoved. Only the folders where such files can lie are
// walked (the root, its "config", the folders of laid files): a folder of
// the operator's is never opened, whatever its names or depth.
void MoveReleaseFilesOut(const std::string& live, const std::string& copy, const LaidFiles& laid,
                         std::vector<std::string>* notMoved,
                         const std::function<bool(const std::string& path)>& stays = nullptr);

// Merges a copy of the data tree into the live tree by renames: every file
// (operatorOnly: only the operator's files, judged by laid) that is not in
// the live tree moves in; one that is there byte for byte leaves the copy.
// Two different versions: a release's copy (not operatorOnly) meets the
// operator's file, which stays in place, its version going beside it
// (OlderVersionName); two of the operator's versions: the newer stays in
// place. Both are named in the setup log. The copy's top directory
// stays. What cannot be moved is appended to notMoved. Returns the number of
// files that came into the live tree.
size_t MergeIntoLiveTree(const std::string& copy, const std::string& live, bool operatorOnly, const LaidFiles& laid,
                         std::vector<std::string>* notMoved);

// After the package (state 9): the set-aside copy of the data tree comes
// home by renames, every file but the machine's values (the parameter file
// set, which stay with the release set aside). A file the package laid at the
// same place (laid, unchanged) gives way to the saved one; one with the same
// stamp stays on both sides; any other meets it as in MergeIntoLiveTree.
// What cannot be moved stays in the copy and is appended to notMoved.
// Returns the number of files that came into the live tree.
size_t MoveSavedFilesHome(const std::string& copy, const std::string& live, const LaidFiles& laid,
                          const LaidFiles& priorLaid, std::vector<std::string>* notMoved);

// Before a copy of the data tree is deleted or kept as a release: its
// operator's files come home into live (MergeIntoLiveTree, operatorOnly),
// with a line in the setup log when any did. False when one could not: the
// copy must not be deleted then.
bool BringOperatorFilesHome(const std::string& copy, const std::string& live, const LaidFiles& laid);

// Where a release lays file source at target in the live data tree: target
// itself, or, where a file of the operator's already lies there and differs,
// a name beside it (OlderVersionName), so that the operator's stays; empty
// when the same bytes already lie there (nothing to lay).
struct LayPlan {
    std::string source;
    LaidFile laid; // where it goes, with the source's stamp
};
// The files of the release's tree source laid into target by that rule:
// what to record before any is laid.
std::vector<LayPlan> PlanReleaseLay(const std::string& source, const std::string& target);

// The copies of the data tree an earlier setup left beside it (TempSaveDir
// and its ".1"): their operator's files come home into live by the same
// rule, once, each named in the setup log; a copy is removed once empty.
// The machine's values in them stay where they are.
void BringEarlierSavesHome(const std::string& live);
