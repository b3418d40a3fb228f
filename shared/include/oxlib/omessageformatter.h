// Message formatting: the readable text of a logged event, made from the
// string-table template of its message id with the insertion strings placed at
// the template's numbered markers.
//
// A marker is a "%" followed by decimal digits and names the string with that
// 1-based number: "%12" is the twelfth string, never the first followed by a 2.
// The markers never reach the output; a marker with no string becomes empty; a
// marker that stands twice gets its string at the first place only; strings
// that no marker names are appended at the end in order, without separators. A
// "%" not followed by a digit is ordinary text. "%%" is no escape: in "%%1" the
// second "%" starts the marker, so it gives a "%" followed by the first string.
#pragma once

#include <oxlib/ostring.h>
#include <oxlib/oxarray.h>

#include <cstdint>
#include <vector>

// Message id of the text that stands in for a missing template; its strings
// are the missing message's id and its number of strings, in decimal.
constexpr uint32_t kMsgTemplateMissing = 34405;
constexpr uint16_t kCategoryLogger = 15;

class OMessageFormatter {
public:
    // The template of `messageId` from the string resources (empty when there
    // is none).
    explicit OMessageFormatter(uint32_t messageId);
    // The given template instead of the string table's.
    OMessageFormatter(uint32_t messageId, const OString& templateText);

    // Adds the next insertion string; the first one added is string 1.
    void addInsert(const OString& text);
    // The template with the strings added so far in place.
    OString build() const;

    uint32_t messageId() const { return m_messageId; }
    // Whether there is a template at all (the string table has the id).
    bool hasTemplate() const { return !m_template.isEmpty(); }

private:
    void split();

    // Where a marker stands in the template, in bytes, "%" and digits together.
    struct Marker {
        int32_t offset;
        int32_t length;
    };

    uint32_t m_messageId;
    OString m_template;
    int32_t m_nPieces = 1; // markers + 1
    OXArray<OString> m_pieces;
    uint32_t m_nInserts = 0;
    std::vector<Marker> m_markers;
};

// The finished text of a message: the formatted template with every line feed
// and carriage return turned into a space and white space trimmed at both ends.
// When the string table has no template for the id, an assertion is reported
// and, with `reportOnFailure`, the text of message 34405 stands in and an error
// event 34405 (category 15) names the id and the count; without it the result
// is empty. When 34405 has no template either, the text is the event's strings
// run together, so that their words are not lost. Message 33009, the assertion report, never falls back, so
// a report cannot recurse: it comes back as built, untouched. At most `count`
// strings are used, and no more than `strings` holds.
OString formatLogMessage(uint32_t messageId, uint32_t count, const OXArray<OString>& strings,
                         bool reportOnFailure);
