#include "platform/FileSecurity.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform/WidePath.h"

namespace {
// SYSTEM, Administrators, the installer service: what Windows itself
// trusts to change the program drive.
const char* const kTrustedSids[] = {"S-1-5-18", "S-1-5-32-544",
                                    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"};

// Full control for SYSTEM and Administrators, read for Users; not
// inherited from the parent, inherited by what is made inside.
const char kAdministratorsOnly[] = "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// Any right that changes the object, its contents, or who may change it.
const DWORD kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER |
                           GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

std::string SidText(PSID sid)
{
    LPSTR text = nullptr;
    if (!sid || !ConvertSidToStringSidA(sid, &text))
        return "?";
    std::string out = text;
    LocalFree(text);
    return out;
}

bool Trusted(const std::string& sid, const std::string& alsoTrusted)
{
    for (const char* trusted : kTrustedSids)
        if (sid == trusted)
            return true;
    return !alsoTrusted.empty() && sid == alsoTrusted;
}

// The account of this process while it is an administrator, else empty.
std::string ElevatedAccount()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::string();
    std::string sid;
    BYTE buffer[256];
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
        sid = SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    CloseHandle(token);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    BOOL member = FALSE;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &admins)) {
        if (!CheckTokenMembership(nullptr, admins, &member))
            member = FALSE;
        FreeSid(admins);
    }
    return member ? sid : std::string();
}
} // namespace

std::string OtherWritersOf(const void* securityDescriptor, const std::string& alsoTrusted)
{
    PSECURITY_DESCRIPTOR sd = const_cast<void*>(securityDescriptor);
    if (!sd || !IsValidSecurityDescriptor(sd))
        return "no valid security descriptor";
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(sd, &owner, &defaulted) || !owner)
        return "no owner";
    std::string ownerSid = SidText(owner);
    if (!Trusted(ownerSid, alsoTrusted))
        return "owned by " + ownerSid;
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted))
        return "no readable access list";
    if (!present || !dacl)
        return "no access list: everyone may write";
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return "an access entry cannot be read";
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(ace);
        // Inherit-only entries apply to what is made inside, which is
        // checked on its own.
        if (header->AceFlags & INHERIT_ONLY_ACE)
            continue;
        switch (header->AceType) {
        case ACCESS_DENIED_ACE_TYPE:
        case ACCESS_DENIED_OBJECT_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
            continue; // only ever takes rights away
        case ACCESS_ALLOWED_ACE_TYPE: {
            const ACCESS_ALLOWED_ACE* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
            if (!(allowed->Mask & kWriteRights))
                continue;
            std::string sid = SidText(const_cast<DWORD*>(&allowed->SidStart));
            if (!Trusted(sid, alsoTrusted))
                return "writable by " + sid;
            continue;
        }
        default:
            // An allowing entry of a kind not weighed here may grant anything.
            return "an access entry of kind " + std::to_string(header->AceType);
        }
    }
    return std::string();
}

std::string OtherWritersOfPath(const std::string& path)
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    DWORD rc = GetNamedSecurityInfoW(WidePathOf(path).c_str(), SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                     nullptr, nullptr, &sd);
    if (rc != ERROR_SUCCESS)
        return "its security cannot be read (error " + std::to_string(rc) + ")";
    std::string why = OtherWritersOf(sd, ElevatedAccount());
    LocalFree(sd);
    return why;
}

std::string MakeAdministratorsOnlyDirectory(const std::string& directory)
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdministratorsOnly, SDDL_REVISION_1, &sd, nullptr))
        return "no security descriptor (error " + std::to_string(GetLastError()) + ")";
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, sd, FALSE};
    std::string why;
    std::wstring wide = WidePathOf(directory);
    if (!CreateDirectoryW(wide.c_str(), &attributes)) {
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) {
            why = "cannot be made (error " + std::to_string(error) + ")";
        } else {
            BOOL present = FALSE, defaulted = FALSE;
            PACL dacl = nullptr;
            GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
            DWORD rc = SetNamedSecurityInfoW(&wide[0], SE_FILE_OBJECT,
                                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                             nullptr, dacl, nullptr);
            if (rc != ERROR_SUCCESS)
                why = "its access list cannot be set (error " + std::to_string(rc) + ")";
        }
    }
    LocalFree(sd);
    return why;
}

std::vector<unsigned char> SecurityDescriptorFromText(const std::string& sddl)
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    ULONG size = 0;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &sd, &size))
        return {};
    std::vector<unsigned char> bytes(static_cast<unsigned char*>(sd), static_cast<unsigned char*>(sd) + size);
    LocalFree(sd);
    return bytes;
}
