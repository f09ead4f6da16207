// tests/scan/diagnostics_test.cpp
// The portable lines of the driver diagnostics report: machine names, the listed check
// (a whole listed key, ignoring case; never part of one) and the per-driver lines.
#include "scan/diagnostics.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_text.h"

static std::string machine(int m) {
    WideString t = machine_text(m);
    std::string s = utf8(t);
    release(&t);
    return s;
}

TEST(Diagnostics, MachineTexts) {
    EXPECT_EQ(machine(0x14C), "32-bit (x86)");
    EXPECT_EQ(machine(0x8664), "64-bit (x64)");
    EXPECT_EQ(machine(0xAA64), "ARM64");
    EXPECT_EQ(machine(-1), "unreadable");
    EXPECT_EQ(machine(0x1C4), "machine 0x1c4");
}

TEST(Diagnostics, ListedMeansAWholeLine) {
    const wchar_t* listing = L"  Acme|Fam|Flatbed 2  [DSM mask 1]\r\n  Zan Group|Virtual|Sane  [DSM mask 3]\r\n";
    EXPECT_TRUE(diagnostics_key_listed(listing, L"acme|fam|FLATBED 2"));
    EXPECT_TRUE(diagnostics_key_listed(listing, L"Zan Group|Virtual|Sane"));
    EXPECT_FALSE(diagnostics_key_listed(listing, L"Acme|Fam|Flatbed"));     // part of a listed key
    EXPECT_FALSE(diagnostics_key_listed(listing, L"Fam|Flatbed 2"));
    EXPECT_FALSE(diagnostics_key_listed(listing, L"Zan Group|Virtual|Sane  [DSM mask 3]x"));
    EXPECT_FALSE(diagnostics_key_listed(L"", L"Acme|Fam|Flatbed 2"));
    EXPECT_FALSE(diagnostics_key_listed(listing, L""));
}

static std::string lines(const DriverProbe& probe, const wchar_t* listing) {
    WideString out = {};
    diagnostics_probe_lines(probe, listing, &out);
    std::string s = utf8(out);
    release(&out);
    return s;
}

TEST(Diagnostics, ProbeLines) {
    DriverProbe p = {};
    p.outcome = DRIVER_LOAD_FAILED;
    p.load_error = 126;
    EXPECT_EQ(lines(p, L""), "    NOT LOADABLE: LoadLibrary error 126. A DLL this driver depends on is missing "
                             "(reinstall the driver / VC runtime it needs).\r\n");
    p.load_error = 193;
    EXPECT_EQ(lines(p, L""), "    NOT LOADABLE: LoadLibrary error 193. Wrong bitness.\r\n");
    p.load_error = 5;
    EXPECT_EQ(lines(p, L""), "    NOT LOADABLE: LoadLibrary error 5. The driver files may be damaged or blocked.\r\n");
    p.outcome = DRIVER_NO_ENTRY;
    EXPECT_EQ(lines(p, L""), "    Loads, but exports no DS_Entry (not a TWAIN source).\r\n");
    p.outcome = DRIVER_IDENTITY_FAILED;
    p.identity_rc = 1;
    EXPECT_EQ(lines(p, L""), "    Loads, but identity query returned rc=1.\r\n");
    p.outcome = DRIVER_IDENTITY_OK;
    p.key = wide_copy(L"Acme|Fam|Flatbed");
    EXPECT_EQ(lines(p, L"  ACME|fam|flatbed  [DSM mask 1]\r\n"), "    Identity: Acme|Fam|Flatbed -> LISTED\r\n");
    const std::string not_listed = lines(p, L"  Acme|Fam|Flatbed 2  [DSM mask 1]\r\n");
    EXPECT_EQ(not_listed.rfind("    Identity: Acme|Fam|Flatbed -> NOT LISTED\r\n    Why: the driver loads fine", 0), 0u);
    release(&p.key);
    p.outcome = DRIVER_CRASHED;
    p.exit_code = 0xC0000005u;
    EXPECT_EQ(lines(p, L""), "    The driver crashed while it was queried (exit code 0xC0000005).\r\n");
    p.outcome = DRIVER_HUNG;
    EXPECT_EQ(lines(p, L""), "    The driver did not answer the identity query in time and was stopped.\r\n");
}

TEST(Diagnostics, ForeignDrivers) {
    WideString out = {};
    diagnostics_foreign_lines(0x8664, &out);
    EXPECT_EQ(utf8(out), "    NOT USABLE by this 32-bit app: it is a 64-bit driver (twain_64). Install the 32-bit "
                         "(twain_32) version of the scanner driver; Ricoh and many MFP drivers ship both.\r\n");
    release(&out);
    diagnostics_foreign_lines(0x1C4, &out);
    EXPECT_EQ(utf8(out), "    NOT USABLE by this 32-bit app: unsupported file.\r\n");
    release(&out);
}
