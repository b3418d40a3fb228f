// The message formatter and formatLogMessage: markers by number, strings with
// no marker, the stand-in text for a missing template and the line clean-up.
// With no message library loaded, templates come from the test program's table;
// on Windows the stand-in comes from the real English message library.
#include "logcapture.h"
#include "programstrings.h"

#include "oresmanagerstate.h"

#include <oxlib/olog.h>
#include <oxlib/omessageformatter.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

std::string format(const char* templateText, std::initializer_list<const char*> strings) {
    OMessageFormatter formatter(1, OString(templateText));
    for (const char* s : strings)
        formatter.addInsert(OString(s));
    return formatter.build().c_str();
}

OXArray<OString> array(std::initializer_list<const char*> strings) {
    OXArray<OString> out;
    for (const char* s : strings)
        out.add(OString(s));
    return out;
}

TEST(MessageFormatter, PlacesStringsByMarkerNumber) {
    EXPECT_EQ(format("Connection to %1 failed: %2", {"A", "B"}), "Connection to A failed: B");
    EXPECT_EQ(format("%2 before %1", {"x", "y"}), "y before x");
    EXPECT_EQ(format("[%1][%2][%3]", {"x"}), "[x][][]"); // markers without strings vanish
    EXPECT_EQ(format("%1%2%3", {"a", "b", "c"}), "abc");
    EXPECT_EQ(format("", {}), "");
    EXPECT_EQ(format("no markers", {}), "no markers");
}

TEST(MessageFormatter, RepeatedMarkersAndStringsWithoutMarkers) {
    EXPECT_EQ(format("%1 and %1", {"x"}), "x and ");
    EXPECT_EQ(format("done", {"a", "b"}), "doneab");
    EXPECT_EQ(format("%2: ", {"a", "b", "c"}), "b: ac");
    EXPECT_EQ(format("%01 and %1", {"a"}), " and a"); // "%01" is not the marker "%1"
}

TEST(MessageFormatter, MultiDigitMarkerIsOneNumber) {
    const std::initializer_list<const char*> twelve = {"s1", "s2", "s3", "s4",  "s5",  "s6",
                                                       "s7", "s8", "s9", "s10", "s11", "s12"};
    EXPECT_EQ(format("<%12>", twelve), "<s12>s1s2s3s4s5s6s7s8s9s10s11");
    EXPECT_EQ(format("<%12>", {"first"}), "<>first"); // never the first followed by a 2
    EXPECT_EQ(format("%1-%10", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}), "a-jbcdefghi");
}

TEST(MessageFormatter, PercentSignsThatStartNoMarker) {
    LogCapture log;
    EXPECT_EQ(format("50% of %1", {"x"}), "50% of x");
    EXPECT_EQ(format("%a%1", {"x"}), "%ax");
    EXPECT_TRUE(log.assertions().empty());

    // A "%" at the very end stays; stepping over it is the iterator's report.
    EXPECT_EQ(format("100%", {}), "100%");
    EXPECT_EQ(log.assertions(), std::vector<std::string>{"ostring.h:489:!isAtEnd ()"});

    // "%%" is no escape: the second "%" starts the marker.
    log.clear();
    EXPECT_EQ(format("%%1", {"x"}), "%x");
    EXPECT_EQ(format("%%%1 %% ", {"x", "y"}), "%%x %% y");
    EXPECT_TRUE(log.assertions().empty());
}

TEST(MessageFormatter, TemplateComesFromTheStringTable) {
    forgetStringResources();
    OMessageFormatter formatter(kProgramConnectionId);
    formatter.addInsert("db");
    formatter.addInsert("timeout");
    EXPECT_EQ(std::string(formatter.build().c_str()), "Connection to db failed: timeout");
    OMessageFormatter missing(kProgramMissingId);
    missing.addInsert("a");
    EXPECT_EQ(std::string(missing.build().c_str()), "a");
}

class FormatLogMessage : public ::testing::Test {
protected:
    FormatLogMessage() { forgetStringResources(); }
    ~FormatLogMessage() override { setProgramFallbackTemplate(false); }
    LogCapture log_;
};

TEST_F(FormatLogMessage, FoundTemplateMakesNoReports) {
    const OString text = formatLogMessage(kProgramConnectionId, 2, array({"db", "refused"}), true);
    EXPECT_EQ(std::string(text.c_str()), "Connection to db failed: refused");
    // A count beyond the strings there are uses the strings there are.
    EXPECT_EQ(std::string(formatLogMessage(kProgramConnectionId, 5, array({"db"}), true).c_str()),
              "Connection to db failed:");
    EXPECT_TRUE(log_.events().empty());
}

TEST_F(FormatLogMessage, MissingTemplateFallsBackToTheStandIn) {
    setProgramFallbackTemplate(true);
    const OString text = formatLogMessage(kProgramMissingId, 2, array({"a", "b"}), true);
    OMessageFormatter standIn(1, OString(kStandInTemplate));
    standIn.addInsert("60999");
    standIn.addInsert("2");
    EXPECT_EQ(std::string(text.c_str()), standIn.build().c_str());
    const auto events = log_.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].id, kMsgAssertionFailed);
    EXPECT_EQ(events[0].strings[2], "false");
    EXPECT_EQ(events[0].strings[3],
              "Cannot look up resource string in formatting logging messages\n");
    EXPECT_EQ(events[1].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(events[1].category, kCategoryLogger);
    EXPECT_EQ(events[1].id, kMsgTemplateMissing);
    EXPECT_EQ(events[1].strings, (std::vector<std::string>{"60999", "2"}));
}

TEST_F(FormatLogMessage, MissingStandInKeepsTheStringsWithTheSecondReport) {
    const OString text = formatLogMessage(kProgramMissingId, 2, array({"a", "b"}), true);
    EXPECT_EQ(std::string(text.c_str()), "ab");
    const auto events = log_.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].strings[3],
              "Cannot look up resource string in formatting logging messages\n");
    EXPECT_EQ(events[1].id, kMsgAssertionFailed);
    EXPECT_EQ(events[1].strings[3],
              "2nd time failure on looking resource string for the same logging message\n");

    // Without reportOnFailure only the second report is made.
    log_.clear();
    EXPECT_TRUE(formatLogMessage(kProgramMissingId, 0, array({}), false).isEmpty());
    ASSERT_EQ(log_.events().size(), 1u);
    EXPECT_EQ(log_.events()[0].strings[3],
              "2nd time failure on looking resource string for the same logging message\n");
}

TEST_F(FormatLogMessage, AssertionMessageNeverFallsBack) {
    setProgramFallbackTemplate(true);
#if defined(_WIN32)
    // The message library that holds the stand-in holds the assertion's own
    // template too; its line breaks become spaces as in any message.
    EXPECT_EQ(std::string(
                  formatLogMessage(kMsgAssertionFailed, 3, array({"f\n", "1", "e"}), true).c_str()),
              "Internal check failed: e (f , line 1).");
    EXPECT_TRUE(log_.events().empty());
    return;
#endif
    EXPECT_EQ(std::string(
                  formatLogMessage(kMsgAssertionFailed, 3, array({"f\n", "1", "e"}), true).c_str()),
              "f\n1e");
    EXPECT_TRUE(formatLogMessage(kMsgAssertionFailed, 0, array({}), true).isEmpty());
    EXPECT_TRUE(log_.events().empty());
}

TEST_F(FormatLogMessage, LineBreaksBecomeSpacesAndEndsAreTrimmed) {
    const OString text =
        formatLogMessage(kProgramLinesId, 1, array({"\r\n  line one\nline two  \r\n"}), true);
    EXPECT_EQ(std::string(text.c_str()), "line one line two");
    EXPECT_EQ(std::string(formatLogMessage(kProgramLinesId, 1, array({"a\r\rb"}), true).c_str()),
              "a  b");
    // Only white space: a found template that trims to nothing is not a fallback.
    EXPECT_TRUE(formatLogMessage(kProgramLinesId, 1, array({" \n "}), true).isEmpty());
    EXPECT_TRUE(log_.events().empty());
}

// Without any message library a trace keeps its words: the text is the event's
// strings, cleaned like any text.
TEST_F(FormatLogMessage, NoTemplateAnywhereStillCarriesTheStrings) {
    const struct {
        uint32_t id;
        std::vector<const char*> strings;
        const char* expected;
    } cases[] = {
        {kMsgDebugTrace, {"connect failed: WSA10061\n"}, "connect failed: WSA10061"},
        {kProgramMissingId, {" first\r\n", "second "}, "first  second"},
        {kProgramMissingId, {}, ""},
    };
    for (const auto& c : cases) {
        OXArray<OString> strings;
        for (const char* s : c.strings)
            strings.add(s);
        EXPECT_EQ(std::string(
                      formatLogMessage(c.id, static_cast<uint32_t>(c.strings.size()), strings, true)
                          .c_str()),
                  c.expected);
    }
}

} // namespace

// formatLogMessage fills a template in one pass; it must say what the
// formatter's pieces say, for every way a marker can name a string or not.
TEST_F(FormatLogMessage, FillsTemplatesAsTheFormatterDoes) {
    const char* const templates[] = {
        "Connection to %1 on port %2 failed: %3",
        "%3 %2 %1",
        "%1 and %1 and %2",
        "%01 %0 %1",
        "%%1 and 100%x",
        "%12 then %1",
        "%4 names a string beyond the count",
        "no markers",
        "%99999999999 %1",
    };
    const std::vector<const char*> all = {"a", "bb", "ccc", "dddd", "e", "f",
                                          "g", "h",  "i",   "j",    "k", "twelve"};
    for (const char* t : templates) {
        const uint32_t id = setProgramTemplate(t);
        ASSERT_NE(id, 0u) << "the program's table lacks " << t;
        for (const uint32_t count : {0u, 1u, 3u, 12u}) {
            SCOPED_TRACE(std::string(t) + " with " + std::to_string(count) + " strings");
            OMessageFormatter formatter(id);
            OXArray<OString> strings;
            for (uint32_t i = 0; i < count; ++i) {
                strings.add(all[i]);
                formatter.addInsert(all[i]);
            }
            OString expected = formatter.build();
            expected.trimLeft();
            expected.trimRight();
            EXPECT_EQ(std::string(formatLogMessage(id, count, strings, true).c_str()),
                      expected.c_str());
        }
    }
    setProgramTemplate(nullptr);
    EXPECT_TRUE(log_.events().empty());
}
