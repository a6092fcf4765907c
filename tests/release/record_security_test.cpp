// Records are acted on only where nobody but administrators can have written
// them. Wine keeps no file security of its own, so the check is shown on
// security descriptors built here (the end-to-end records cases show a
// directory whose Unix mode lets everyone write, which Wine reports as an
// entry for Everyone).
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/FileSecurity.h"

namespace {
const char kUser[] = "S-1-5-21-1004336348-1177238915-682003330-1001";

std::string WritersOf(const std::string& sddl, const std::string& alsoTrusted = std::string())
{
    std::vector<unsigned char> sd = SecurityDescriptorFromText(sddl);
    EXPECT_FALSE(sd.empty()) << sddl;
    return OtherWritersOf(sd.empty() ? nullptr : sd.data(), alsoTrusted);
}
} // namespace

TEST(RecordSecurity, OnlySystemAndAdministratorsMayWriteOrOwn)
{
    // As the setup makes its directory, and as the program drive's own
    // folders are (Users read, the installer service owns).
    EXPECT_EQ(WritersOf("O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"), "");
    EXPECT_EQ(WritersOf("O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
                        "D:P(A;;FA;;;SY)(A;;0x1301bf;;;BA)(A;;0x1200a9;;;WD)(D;;FA;;;AN)"),
              "");
    // Inherit-only entries give nothing on the directory itself.
    EXPECT_EQ(WritersOf("O:SYD:(A;;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICIIO;FA;;;AU)"), "");
    // The elevated account itself, where the caller trusts it.
    EXPECT_EQ(WritersOf(std::string("O:") + kUser + "D:(A;;FA;;;SY)(A;;FA;;;" + kUser + ")", kUser), "");

    struct Refused {
        const char* sddl;
        const char* why;
    } refused[] = {
        {"O:BAD:(A;;FA;;;SY)(A;;FA;;;BU)", "writable by S-1-5-32-545"},       // Users: full control
        {"O:BAD:(A;;0x100116;;;AU)", "writable by S-1-5-11"},                  // Authenticated Users: modify
        {"O:BAD:(A;;FA;;;BA)(A;;GW;;;WD)", "writable by S-1-1-0"},            // Everyone: generic write
        {"O:BAD:(A;;0x4;;;IU)", "writable by S-1-5-4"},                        // append only is writing
        {"O:BAD:(A;;WD;;;BU)", "writable by S-1-5-32-545"},                    // may rewrite the access list
        {"O:BAD:(A;;SD;;;BU)", "writable by S-1-5-32-545"},                    // may delete and replace
        {"O:BUD:(A;;FA;;;SY)", "owned by S-1-5-32-545"},                       // an owner rewrites the list
    };
    for (const Refused& r : refused)
        EXPECT_EQ(WritersOf(r.sddl), r.why) << r.sddl;
    // Another account than the one trusted.
    EXPECT_EQ(WritersOf(std::string("O:BAD:(A;;FA;;;") + kUser + ")", "S-1-5-21-1-2-3-1000"),
              std::string("writable by ") + kUser);
    EXPECT_EQ(OtherWritersOf(nullptr, ""), "no valid security descriptor");

    // A NULL access list lets everyone in (built by hand: Wine's text form
    // reads NO_ACCESS_CONTROL as an empty list, which admits nobody).
    std::vector<unsigned char> owner = SecurityDescriptorFromText("O:BA");
    ASSERT_FALSE(owner.empty());
    SECURITY_DESCRIPTOR open;
    ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
    PSID admins = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(owner.data(), &admins, &defaulted));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&open, admins, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    EXPECT_EQ(OtherWritersOf(&open, ""), "no access list: everyone may write");
}
