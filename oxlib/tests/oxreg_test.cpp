// oxreg end to end: the tool run as a process on a store of the test's own,
// checked through its output, its exit status and ORegistry.
#include "childprocess.h"
#include "tempregistry.h"

#include <oxlib/oregistry.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kLogging = "HKLM\\Software\\Corvane Software\\Corvane Logging";

ChildResult oxreg(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), OX_OXREG);
    return runChild(args, input);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Oxreg, HelpAndUsage) {
    TempRegistry store;
    const ChildResult help = oxreg({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "oxreg query  KEY [/v NAME | /ve] [/s]"));
    EXPECT_TRUE(contains(help.out, "The registry is kept in " + store.path()));
    EXPECT_EQ(oxreg({"/?"}).status, 0);
    EXPECT_EQ(oxreg({}).status, 1);
    EXPECT_EQ(oxreg({"frobnicate", "HKLM"}).status, 1);
    const ChildResult badRoot = oxreg({"query", "HKCR\\Software"});
    EXPECT_EQ(badRoot.status, 1);
    EXPECT_TRUE(contains(badRoot.err, "Invalid key name")) << badRoot.err;
    EXPECT_EQ(oxreg({"query", "HKLM", "/v"}).status, 1);
    EXPECT_EQ(oxreg({"query", "HKLM", "/v", "a", "/ve"}).status, 1);
    EXPECT_EQ(oxreg({"add", "HKLM\\X", "/t", "REG_FLOAT", "/v", "a"}).status, 1);
}

TEST(Oxreg, ConfiguresLoggingLibrariesAsDocsLoggingShows) {
    TempRegistry store;
    // The commands of docs/logging.md.
    EXPECT_EQ(oxreg({"add", kLogging + "\\pxlogger", "/v", "DLLPath", "/d",
                     "/usr/local/lib/libpxlogger.so", "/f"})
                  .status,
              0);
    EXPECT_EQ(oxreg({"add", kLogging + "\\filelogger", "/v", "DLLPath", "/d",
                     "/usr/local/lib/libfilelogger.so", "/f"})
                  .status,
              0);
    const ChildResult query = oxreg({"query", kLogging, "/s"});
    ASSERT_EQ(query.status, 0) << query.err;
    EXPECT_EQ(query.out, "\nHKEY_LOCAL_MACHINE\\Software\\Corvane Software\\Corvane Logging\n"
                         "\nHKEY_LOCAL_MACHINE\\Software\\Corvane Software\\Corvane Logging"
                         "\\filelogger\n"
                         "    DLLPath    REG_SZ    /usr/local/lib/libfilelogger.so\n"
                         "\nHKEY_LOCAL_MACHINE\\Software\\Corvane Software\\Corvane Logging"
                         "\\pxlogger\n"
                         "    DLLPath    REG_SZ    /usr/local/lib/libpxlogger.so\n");

    // What the logging set-up reads.
    const ORegistry logging("Corvane Logging", "Software\\Corvane Software\\", HKEY_LOCAL_MACHINE);
    std::vector<std::string> paths;
    for (ORegistryKeyIterator it = logging.subKeys(); it.key() != nullptr; it.next()) {
        const ORegistry library(it.name(), "Software\\Corvane Software\\Corvane Logging\\",
                                HKEY_LOCAL_MACHINE);
        paths.emplace_back(library.readString("DLLPath").c_str());
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/usr/local/lib/libfilelogger.so",
                                               "/usr/local/lib/libpxlogger.so"}));

    EXPECT_EQ(oxreg({"delete", kLogging + "\\pxlogger", "/f"}).status, 0);
    EXPECT_EQ(oxreg({"query", kLogging + "\\pxlogger"}).status, 1);
    EXPECT_EQ(logging.subKeys().name(), OString("filelogger"));
}

TEST(Oxreg, EveryTypeRoundTrips) {
    TempRegistry store;
    const std::string key = "HKCU\\Software\\Types";
    struct Case {
        const char* name;
        const char* type;
        const char* data;
        const char* shown;
    };
    const Case cases[] = {
        {"sz", "REG_SZ", "plain text", "plain text"},
        {"expand", "REG_EXPAND_SZ", "%HOME%/x", "%HOME%/x"},
        {"multi", "reg_multi_sz", "one\\0two\\0three", "one\\0two\\0three"},
        {"dword", "REG_DWORD", "4294967295", "0xffffffff"},
        {"hexdword", "REG_DWORD", "0x1F", "0x1f"},
        {"qword", "REG_QWORD", "0x100000000", "0x100000000"},
        {"binary", "REG_BINARY", "00ff10Ab", "00FF10AB"},
        {"none", "REG_NONE", "", ""},
    };
    for (const Case& c : cases) {
        const ChildResult add = oxreg({"add", key, "/v", c.name, "/t", c.type, "/d", c.data, "/f"});
        EXPECT_EQ(add.status, 0) << c.name << ": " << add.err;
        EXPECT_EQ(add.out, "The operation completed successfully.\n");
        const ChildResult query = oxreg({"query", key, "/v", c.name});
        EXPECT_EQ(query.status, 0) << c.name;
        const std::string type = c.type == std::string("reg_multi_sz") ? "REG_MULTI_SZ" : c.type;
        EXPECT_EQ(query.out, "\nHKEY_CURRENT_USER\\Software\\Types\n    " + std::string(c.name) +
                                 "    " + type + "    " + c.shown + "\n\n");
    }
    const ORegistry reg("Types", "Software\\", HKEY_CURRENT_USER);
    EXPECT_EQ(reg.readString("dword"), OString("4294967295"));
    EXPECT_EQ(reg.readString("sz"), OString("plain text"));
    EXPECT_EQ(reg.readString("binary"), OString());

    // The default value, and a separator of one's own.
    EXPECT_EQ(oxreg({"add", key, "/ve", "/d", "default text", "/f"}).status, 0);
    EXPECT_EQ(reg.readString(""), OString("default text"));
    EXPECT_EQ(
        oxreg({"add", key, "/v", "list", "/t", "REG_MULTI_SZ", "/s", ",", "/d", "a,b"}).status, 0);
    EXPECT_TRUE(contains(oxreg({"query", key, "/v", "list"}).out, "REG_MULTI_SZ    a\\0b"));
    EXPECT_TRUE(contains(oxreg({"query", key}).out, "    (Default)    REG_SZ    default text\n"));
}

TEST(Oxreg, BadDataIsRefusedAndNothingIsStored) {
    TempRegistry store;
    const std::string key = "HKLM\\Software\\Bad";
    ASSERT_EQ(oxreg({"add", key, "/v", "keep", "/t", "REG_DWORD", "/d", "7"}).status, 0);
    const std::vector<std::vector<std::string>> bad = {
        {"/v", "keep", "/t", "REG_DWORD", "/d", "4294967296", "/f"},
        {"/v", "keep", "/t", "REG_DWORD", "/d", "-1", "/f"},
        {"/v", "keep", "/t", "REG_DWORD", "/d", "12abc", "/f"},
        {"/v", "keep", "/t", "REG_BINARY", "/d", "0g", "/f"},
        {"/v", "keep", "/t", "REG_BINARY", "/d", "abc", "/f"},
        {"/v", "keep", "/t", "REG_MULTI_SZ", "/d", "a\\0\\0b", "/f"},
        {"/v", std::string(16384, 'n'), "/d", "x", "/f"},
        {"/d", "data without a value name"},
    };
    for (auto args : bad) {
        args.insert(args.begin(), {"add", key});
        const ChildResult r = oxreg(args);
        EXPECT_EQ(r.status, 1) << args[4];
        EXPECT_TRUE(contains(r.err, "ERROR: ")) << r.err;
    }
    EXPECT_EQ(ORegistry("Bad", "Software\\", HKEY_LOCAL_MACHINE).readString("keep"), OString("7"));
    const ChildResult lead = oxreg({"add", "HKLM\\\\Software\\Lead", "/f"});
    EXPECT_EQ(lead.status, 1);
    EXPECT_TRUE(contains(lead.err, "backslash")) << lead.err;
    const ChildResult tooLong = oxreg({"add", "HKLM\\Software\\" + std::string(256, 'k')});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_TRUE(contains(tooLong.err, "255 characters")) << tooLong.err;
}

TEST(Oxreg, AsksBeforeOverwritingOrDeleting) {
    TempRegistry store;
    const std::string key = "HKLM\\Software\\Ask";
    const ORegistry reg("Ask", "Software\\", HKEY_LOCAL_MACHINE);
    ASSERT_EQ(oxreg({"add", key, "/v", "v", "/d", "old"}).status, 0);

    const ChildResult no = oxreg({"add", key, "/v", "V", "/d", "new"}, "no\n");
    EXPECT_EQ(no.status, 1);
    EXPECT_TRUE(contains(no.out, "Value V exists, overwrite (Yes/No)?"));
    EXPECT_EQ(reg.readString("v"), OString("old"));
    EXPECT_EQ(oxreg({"add", key, "/v", "v", "/d", "new"}, "").status, 1); // no answer at all
    EXPECT_EQ(oxreg({"add", key, "/v", "v", "/d", "new"}, "yes\n").status, 0);
    EXPECT_EQ(reg.readString("v"), OString("new"));

    ASSERT_EQ(oxreg({"add", key, "/v", "w", "/d", "2"}).status, 0);
    ASSERT_EQ(oxreg({"add", key + "\\Sub", "/v", "x", "/d", "3"}).status, 0);
    EXPECT_EQ(oxreg({"delete", key, "/v", "v"}, "n\n").status, 1);
    EXPECT_EQ(oxreg({"delete", key, "/v", "v"}, "y\n").status, 0);
    EXPECT_EQ(reg.readString("v"), OString());
    EXPECT_EQ(oxreg({"delete", key, "/v", "v", "/f"}).status, 1); // already gone

    EXPECT_EQ(oxreg({"delete", key, "/va", "/f"}).status, 0);
    EXPECT_EQ(reg.values().key(), nullptr);
    EXPECT_EQ(reg.subKeys().name(), OString("Sub")); // sub-keys stay

    EXPECT_EQ(oxreg({"delete", key}, "no\n").status, 1);
    EXPECT_TRUE(reg.keyExists());
    EXPECT_EQ(oxreg({"delete", key}, "yes\n").status, 0);
    EXPECT_FALSE(reg.keyExists());
    EXPECT_EQ(oxreg({"delete", "HKLM", "/f"}).status, 1); // never a root
    const ChildResult missing = oxreg({"delete", key, "/f"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(contains(missing.err, "unable to find")) << missing.err;
}

} // namespace
