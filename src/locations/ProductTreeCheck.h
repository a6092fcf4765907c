// Whether the directories that the setup saves and deletes stay in their own
// trees. setup.cfg's [Settings] Path places the product below InstallRoot and
// DataRoot; a value such as "..\", "\" or "C:\windows\" would make the wipe
// delete a whole drive or the system. The path logic here is portable: it
// never asks the file system, so the same Path gives the same answer on every
// machine with the same roots and code page.
#pragma once
#include <functional>
#include <string>
#include <vector>

enum class TreeRefusal {
    None,
    Unclear,      // no one directory: drive-relative, a device path, a name ending in a dot or
                  // a blank, a wildcard or stream name, or longer than a path can be
    NotBelowRoot, // a relative Path that does not lead strictly below InstallRoot and DataRoot
    DriveRoot,    // an absolute Path that is the root of a drive or of a network share
    HoldsRoot,    // an absolute Path that is InstallRoot or DataRoot or contains one of them
    SystemFolder, // a system folder, a directory that contains one, or inside the Windows directory
};

// How the running system reads names: the lead bytes of its multibyte code
// page (a backslash can be the second byte of a double-byte character) and its
// case folding of a name.
struct PathNameRules {
    std::function<bool(unsigned char)> isLeadByte;
    std::function<std::string(const std::string&)> lower;
};
// Code page 936 (a Chinese controller PC) with ASCII case folding.
PathNameRules GbkPathNameRules();

// An absolute Windows path in one spelling: lower case, '/' read as '\', "."
// and ".." resolved (".." stops at the root), repeated and trailing
// backslashes dropped; "c:\" for a drive root, "\\server\share\" for a share
// root. Empty when the path does not name one directory by itself: relative,
// root-relative ("\dir") or drive-relative ("c:dir"), a device path ("\\?\",
// "\\.\"), a name ending in a dot or a blank, or a name with one of :*?"<>|.
std::string NormalWindowsPath(const std::string& path, const PathNameRules& rules);

// True for a normal form that is a drive or share root.
bool IsRootPath(const std::string& normal);
// True when inner lies strictly below outer (both normal forms).
bool IsStrictlyBelow(const std::string& inner, const std::string& outer);

// True for a Path value that names its directory without InstallRoot or
// DataRoot: a drive ("C:\..."), a share ("\\...") or the root of the roots'
// drive ("\...").
bool IsAbsolutePathValue(const std::string& pathValue);

// The directory that Path leads to from root, in normal form; empty when
// unclear.
std::string ProductTreeOf(const std::string& pathValue, const std::string& root, const PathNameRules& rules);

// The directories a check protects.
struct ProtectedFolders {
    std::string windows;              // the Windows directory: it and everything in it
    std::vector<std::string> folders; // system, program-files and user-profile directories
};

// The reason to refuse setup.cfg's Path, or None. An empty Path leaves the
// product at the roots themselves, the setup's own trees, and passes.
TreeRefusal CheckProductTrees(const std::string& pathValue, const std::string& installRoot,
                              const std::string& dataRoot, const ProtectedFolders& protectedFolders,
                              const PathNameRules& rules);

// The same protections on a product tree as the system resolves it (long
// names, the final path behind links): tree and root in one such spelling,
// the protected folders in the same spelling. With relative the tree must lie
// strictly below root (roots unused); otherwise it may neither be nor contain
// any of roots (root unused). Unclear for a tree or a used root without a
// normal form.
TreeRefusal CheckResolvedProductTree(const std::string& tree, const std::string& root,
                                     const std::vector<std::string>& roots, bool relative,
                                     const ProtectedFolders& protectedFolders, const PathNameRules& rules);

// The last line of defence of a tree deletion: a drive or share root, a
// protected folder or a directory that contains one, anything inside the
// Windows directory, and a directory without a normal form.
bool IsProtectedDirectory(const std::string& directory, const ProtectedFolders& protectedFolders,
                          const PathNameRules& rules);

// The check where a release is made, before any controller is known: Path
// against each layout a controller PC can have (the program tree in
// "C:\Program Files (x86)" on 64-bit Windows or "C:\Program Files" on 32-bit,
// the data tree on D: or, without a second fixed drive, on C:; Windows in
// C:\Windows), code page 936. The first refusal of any of them, or None. The
// user's profile folder, protected on the controller too, cannot be known here.
TreeRefusal CheckProductTreesOnControllers(const std::string& pathValue);
