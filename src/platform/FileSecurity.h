// Who may change a file or folder. The setup runs elevated and acts on its
// records: a record is trusted only where nobody but administrators can have
// written it. Windows only.
#pragma once
#include <string>
#include <vector>

// Why a security descriptor (self-relative or absolute, as Windows returns
// it) lets someone other than SYSTEM, the Administrators group, the
// installer service or alsoTrusted (a SID in text form, may be empty) write,
// delete or re-secure what it protects; empty when it does not. The owner
// counts as a writer: it can always rewrite the DACL.
std::string OtherWritersOf(const void* securityDescriptor, const std::string& alsoTrusted);

// The same for a file or folder as it is now. The account this run runs as
// is trusted only while it is a member of the Administrators group (elevated).
std::string OtherWritersOfPath(const std::string& path);

// Makes directory (its parent must exist) so that only SYSTEM and the
// Administrators group may change it and what is made in it, and Users may
// read; a directory already there gets that DACL. Empty, or why not.
std::string MakeAdministratorsOnlyDirectory(const std::string& directory);

// A security descriptor from its text form (SDDL), self-relative, for tests;
// empty when the text is not understood.
std::vector<unsigned char> SecurityDescriptorFromText(const std::string& sddl);
