// The event sink's file branch: the line byte for byte, appending, the types,
// and eight processes appending at once.
#include "logcapture.h"
#include "loggertestsupport.h"
#include "programstrings.h"

#include <oxlib/oeventlog.h>
#include <oxlib/olog.h>
#include <oxlib/otime.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

// A temporary current folder for the test's event.log.
class EventLogFolder : public ::testing::Test {
protected:
    void SetUp() override {
        logLevel(); // the process's logger is started (and idle) before the folder changes
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(registry_.folder());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    static bool report(uint16_t type, uint16_t category, uint32_t id,
                       std::vector<const char*> strings) {
        OEventLog sink;
        EXPECT_TRUE(sink.open(nullptr, "Corvane_test"));
        const bool ok =
            sink.report(type, strings.data(), category, static_cast<uint16_t>(strings.size()), id);
        sink.close();
        return ok;
    }
    std::vector<std::string> lines() const { return splitLines(readFile("event.log")); }

    TempRegistry registry_;
    std::filesystem::path previous_;
};

std::string stampNow() {
    return ODateTime::Now().Format(OEventLog::kTimeStampPicture, localZone).c_str();
}

TEST_F(EventLogFolder, OneLineByteForByteWithTheLocalTimeStamp) {
    const std::string before = stampNow();
    ASSERT_TRUE(report(EVENTLOG_WARNING_TYPE, 15, kProgramLinesId, {"Library missing"}));
    const std::string after = stampNow();
    const std::string file = readFile("event.log");
#if defined(_WIN32)
    const std::string lineEnd = "\r\n"; // a text file's
#else
    const std::string lineEnd = "\n";
#endif
    const std::string fields = "2    15      Library missing" + lineEnd;
    EXPECT_TRUE(file == before + fields || file == after + fields) << file;
    // The picture's own shape: M/d/yy, three spaces, h:mm:ss, AM/PM, four spaces.
    EXPECT_TRUE(parseEventLogLine(file.substr(0, file.size() - lineEnd.size())).valid) << file;
}

TEST_F(EventLogFolder, EachReportAppendsAndKeepsWhatIsThere) {
    writeFile("event.log", "an earlier line\n");
    ASSERT_TRUE(report(EVENTLOG_DEBUG_TYPE, 1, kProgramLinesId, {"first"}));
    LogCapture log;
    ASSERT_TRUE(report(0x0040, 3, kProgramLinesId, {"second"}));
    ASSERT_TRUE(report(EVENTLOG_ERROR_TYPE, 2, kProgramConnectionId, {"a", nullptr, "b"}));
    ASSERT_TRUE(report(EVENTLOG_INFORMATION_TYPE, 4, kProgramMissingId, {"lost"}));
    ASSERT_TRUE(report(EVENTLOG_AUDIT_FAILURE, 5, kProgramLinesId, {"two\nlines"}));

    const auto all = lines();
    ASSERT_EQ(all.size(), 7u) << readFile("event.log");
    EXPECT_EQ(all[0], "an earlier line");
    const auto first = parseEventLogLine(all[1]);
    EXPECT_EQ(first.type + "|" + first.category + "|" + first.message, "256|1|first");
    const auto second = parseEventLogLine(all[2]);
    EXPECT_EQ(second.type + "|" + second.message, "64|second");
    // Null strings are skipped: the ones after take the lower numbers.
    EXPECT_EQ(parseEventLogLine(all[3]).message, "Connection to a failed: b");
    // No template: the line is written with an empty message.
    const auto missing = parseEventLogLine(all[4]);
    EXPECT_TRUE(missing.valid);
    EXPECT_EQ(missing.type + "|" + missing.category + "|" + missing.message, "4|4|");
    // Line breaks are kept, as the event log keeps them.
    EXPECT_EQ(parseEventLogLine(all[5]).message, "two");
    EXPECT_EQ(all[6], "lines");

    // Only the unknown type was reported.
    const auto assertions = log.assertions();
    ASSERT_EQ(assertions.size(), 1u);
    EXPECT_NE(assertions[0].find("(wType == 0x0001) || (wType == 0x0002) || (wType == 0x0004) || "
                                 "(wType == 0x0100) || (wType == 0x0008) || (wType == 0x0010)"),
              std::string::npos);
}

TEST_F(EventLogFolder, AFileThatCantBeOpenedLosesTheLineQuietly) {
    std::filesystem::create_directory("blocked");
    OEventLog sink(OString("blocked"));
    EXPECT_TRUE(sink.open(nullptr, "Corvane_test"));
    const char* strings[] = {"nothing"};
    EXPECT_TRUE(sink.report(EVENTLOG_ERROR_TYPE, strings, 1, 1, kProgramLinesId));
    EXPECT_TRUE(sink.close());
    EXPECT_TRUE(std::filesystem::is_directory("blocked"));
    EXPECT_FALSE(std::filesystem::exists("event.log"));
}

TEST(EventLogProcesses, EightProcessesAppendAtOnceWithoutATornLine) {
    LoggerScene scene;
    constexpr int kProcesses = 8;
    constexpr int kReports = 150;
    std::vector<std::thread> runners;
    std::vector<ChildResult> results(kProcesses);
    for (int p = 0; p < kProcesses; ++p)
        runners.emplace_back([&, p] {
            // Long lines, so a torn write would show.
            const std::string tag = "p" + std::to_string(p) + std::string(400, char('a' + p));
            results[static_cast<size_t>(p)] =
                runChild({OX_LOGGER_HELPER}, "cd " + scene.folder() + "\neventlog " +
                                                 std::to_string(kReports) + " " + tag + "\n");
        });
    for (auto& runner : runners)
        runner.join();
    for (const auto& r : results)
        ASSERT_EQ(r.status, 0) << r.err;

    const auto all = scene.eventLog();
    ASSERT_EQ(all.size(), static_cast<size_t>(kProcesses * kReports));
    std::vector<int> perProcess(kProcesses);
    for (const std::string& line : all) {
        const auto e = parseEventLogLine(line);
        ASSERT_TRUE(e.valid) << line;
        ASSERT_EQ(e.type + " " + e.category, "2 15");
        const std::string prefix = "The logging library p";
        ASSERT_EQ(e.message.compare(0, prefix.size(), prefix), 0) << line;
        const int p = e.message[prefix.size()] - '0';
        ASSERT_TRUE(p >= 0 && p < kProcesses) << line;
        const std::string expected = "The logging library p" + std::to_string(p) +
                                     std::string(400, char('a' + p)) +
                                     " did not accept an event, or failed while taking it.";
        ASSERT_EQ(e.message, expected);
        ++perProcess[static_cast<size_t>(p)];
    }
    for (int p = 0; p < kProcesses; ++p)
        EXPECT_EQ(perProcess[static_cast<size_t>(p)], kReports);
}

} // namespace
