// The log front end. Events are packed into an OXArray of OString and handed to
// the one logger (ologimp), which passes them to the bound logging libraries;
// the level decides only whether callers build traces. Beside it, the message
// formatter that turns a message id and its strings into text.
#include <oxlib/olog.h>
#include <oxlib/ologimp.h>
#include <oxlib/ologobserver.h>
#include <oxlib/omessageformatter.h>
#include <oxlib/oresmanager.h>
#include <oxlib/ostring.h>
#include <oxlib/oxarray.h>

#include "resourcetext.h"
#include "sys/osys.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

struct Observer {
    OLogObserver function;
    void* context;
};
std::atomic<Observer*> g_observer{nullptr};
Observer g_observerSlots[2];
std::atomic<int> g_observerSlot{0};

} // namespace

OLogObserver setLogObserver(OLogObserver observer, void* context) {
    Observer* previous = g_observer.load(std::memory_order_acquire);
    Observer* next = nullptr;
    if (observer != nullptr) {
        // Two slots alternate so a reader of the previous one is not overwritten.
        const int slot = g_observerSlot.fetch_xor(1) ^ 1;
        g_observerSlots[slot] = {observer, context};
        next = &g_observerSlots[slot];
    }
    g_observer.store(next, std::memory_order_release);
    return previous ? previous->function : nullptr;
}

bool logEvent(uint16_t eventType, uint16_t category, uint32_t messageId, const char* s1,
              const char* s2, const char* s3, const char* s4, const char* s5, const char* s6,
              const char* s7, const char* s8, const char* s9, const char* s10) {
    Observer* const observer = g_observer.load(std::memory_order_acquire);
    // Started with no library bound: the event would go nowhere, so nothing is
    // copied (nor allocated).
    if (observer == nullptr && theLogger.isIdle())
        return true;
    const char* all[] = {s1, s2, s3, s4, s5, s6, s7, s8, s9, s10};
    OXArray<OString> strings;
    for (const char* s : all) {
        if (s == nullptr)
            break;
        strings.add(OString(s));
    }
    if (observer != nullptr)
        observer->function(observer->context, eventType, category, messageId, strings);
    return theLogger.report(eventType, category, messageId, strings.getSize(), strings);
}

bool logAssertion(const char* file, const char* line, const char* expression, const char* message) {
    return logEvent(EVENTLOG_ERROR_TYPE, kCategoryLibrary, kMsgAssertionFailed, file, line,
                    expression, message);
}

bool logTrace(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    // No format is an empty text (reported below), not a call with an empty format.
    int ret = 0;
    text[0] = 0;
    if (format != nullptr)
        ret = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // At most 511 characters are kept; a longer text counts as not fitting.
    if (ret > 511)
        ret = -1;
    if (ret < 0)
        text[511] = 0;
    if (!(ret > 0))
        logAssertion("olog.cpp", "52", "ret > 0");
    return logEvent(EVENTLOG_DEBUG_TYPE, kCategoryLibrary, kMsgDebugTrace, text);
}

uint32_t logLevel() {
    return theLogger.level();
}

// ---------------------------------------------------------------------------
// Message formatting

OMessageFormatter::OMessageFormatter(uint32_t messageId)
    : OMessageFormatter(messageId, loadResourceString(messageId)) {}

OMessageFormatter::OMessageFormatter(uint32_t messageId, const OString& templateText)
    : m_messageId(messageId), m_template(templateText) {
    split();
}

namespace {

// The markers of a template, in order: a "%" and the run of digits after it.
// One scan serves the count pass and the split pass alike (a "%" that starts no
// marker never hides one that does). It goes by bytes: "%" and the digits lie
// below every trail byte of a double-byte character (0x40 and up), so no byte
// it stops at is half of one, and a byte walk finds exactly the markers a walk
// by characters finds.
template <typename OnMarker>
void scanMarkers(const NativeChar* base, const NativeChar* end, OnMarker onMarker) {
    auto isDigit = [](NativeChar c) { return c >= '0' && c <= '9'; };
    const NativeChar* p = base;
    while (p < end) {
        p = static_cast<const NativeChar*>(std::memchr(p, '%', static_cast<size_t>(end - p)));
        if (p == nullptr)
            break;
        const NativeChar next = p[1];
        if (isDigit(next)) {
            const NativeChar* q = p + 1;
            while (isDigit(*q))
                ++q;
            onMarker(static_cast<int32_t>(p - base), static_cast<int32_t>(q - p));
            p = q;
        } else if (next == '%') {
            ++p; // "%%": the second "%" may start a marker
        } else if (next == 0) {
            // A "%" at the very end: the walk steps off the text, which the
            // iterator's check reports.
            OX_ASSERT_AT(false, "ostring.h", "489", "!isAtEnd ()");
            break;
        } else {
            p += 2; // a "%" and the character after it are text
        }
    }
}

// The number a marker names when its digits are the plain decimal text of
// one ("%1", never "%01"), which is the only text addInsert looks for; 0 when
// they are not.
uint32_t markerNumber(const NativeChar* digits, int32_t n) {
    if (n > 9 || digits[0] == '0')
        return 0;
    uint32_t value = 0;
    for (int32_t i = 0; i < n; ++i)
        value = value * 10 + static_cast<uint32_t>(digits[i] - '0');
    return value;
}

// What OMessageFormatter makes of `templateText` and the first `n` strings,
// made in one pass: each string goes to the first marker that names it, the
// others after the end in order, and every marker itself is left out.
OString fillTemplate(const NativeChar* templateText, int32_t length,
                     const OXArray<OString>& strings, uint32_t n) {
    struct Placed {
        int32_t offset;
        int32_t length;
        int32_t string; // -1: the marker gets nothing
    };
    // A template holds at most 256 characters, so at most 128 markers.
    Placed markers[kResourceTextSize / 2 + 1];
    int32_t nMarkers = 0;
    // Which strings a marker has taken; on the stack for the usual few.
    unsigned char fewPlaced[33] = {};
    std::vector<unsigned char> manyPlaced;
    unsigned char* placed = fewPlaced;
    if (n + 1 > std::size(fewPlaced)) {
        manyPlaced.assign(n + 1, 0);
        placed = manyPlaced.data();
    }
    scanMarkers(templateText, templateText + length, [&](int32_t offset, int32_t markerLength) {
        if (nMarkers == static_cast<int32_t>(std::size(markers)))
            return;
        const uint32_t number = markerNumber(templateText + offset + 1, markerLength - 1);
        int32_t string = -1;
        if (number >= 1 && number <= n && !placed[number]) {
            placed[number] = 1;
            string = static_cast<int32_t>(number - 1);
        }
        markers[nMarkers++] = {offset, markerLength, string};
    });

    int32_t total = length;
    for (int32_t i = 0; i < nMarkers; ++i) {
        total -= markers[i].length;
        if (markers[i].string >= 0)
            total += strings[markers[i].string].getNativeCharsUsed();
    }
    for (uint32_t i = 1; i <= n; ++i)
        if (!placed[i])
            total += strings[static_cast<int32_t>(i - 1)].getNativeCharsUsed();

    OString text;
    text.reserveNew(total); // an empty string holds the static buffer: nothing to release
    int32_t from = 0;
    for (int32_t i = 0; i < nMarkers; ++i) {
        text.appendBytes(templateText + from, markers[i].offset - from);
        if (markers[i].string >= 0)
            text.append(strings[markers[i].string]);
        from = markers[i].offset + markers[i].length;
    }
    text.appendBytes(templateText + from, length - from);
    for (uint32_t i = 1; i <= n; ++i)
        if (!placed[i])
            text.append(strings[static_cast<int32_t>(i - 1)]);
    return text;
}

} // namespace

void OMessageFormatter::split() {
    m_markers.clear();
    const NativeChar* const base = m_template.c_str();
    const NativeChar* const end = base + m_template.getNativeCharsUsed();
    scanMarkers(base, end, [&](int32_t offset, int32_t length) {
        m_markers.push_back({offset, length});
    });

    m_nPieces = static_cast<int32_t>(m_markers.size()) + 1;
    m_pieces.setSize(static_cast<uint32_t>(m_nPieces));
    int32_t pieceStart = 0;
    for (size_t i = 0; i < m_markers.size(); ++i) {
        m_pieces[static_cast<int32_t>(i)] =
            m_template.substring(base + pieceStart, base + m_markers[i].offset);
        pieceStart = m_markers[i].offset + m_markers[i].length;
    }
    m_pieces[m_nPieces - 1] =
        m_template.substring(base + pieceStart, base + m_template.getNativeCharsUsed());
}

void OMessageFormatter::addInsert(const OString& text) {
    ++m_nInserts;
    // "%" and N in decimal.
    char digits[10];
    int nDigits = 0;
    for (uint32_t n = m_nInserts; n != 0 || nDigits == 0; n /= 10)
        digits[nDigits++] = static_cast<char>('0' + n % 10);
    char marker[12];
    marker[0] = '%';
    for (int i = 0; i < nDigits; ++i)
        marker[1 + i] = digits[nDigits - 1 - i];
    const int markerLength = 1 + nDigits;

    // The first marker that reads exactly "%N" takes the string; without one it
    // goes to the last piece, after everything else.
    const NativeChar* const base = m_template.c_str();
    size_t index = 0;
    while (index < m_markers.size() && !(m_markers[index].length == markerLength &&
                                         std::memcmp(base + m_markers[index].offset, marker,
                                                     static_cast<size_t>(markerLength)) == 0))
        ++index;
    m_pieces[static_cast<int32_t>(index)].append(text);
}

OString OMessageFormatter::build() const {
    if (m_nPieces == 1)
        return m_pieces[0];
    int32_t total = 0;
    for (int32_t i = 0; i < m_nPieces; ++i)
        total += m_pieces[i].getNativeCharsUsed();
    OString text;
    text.reserveNew(total); // an empty string holds the static buffer: nothing to release
    for (int32_t i = 0; i < m_nPieces; ++i)
        text.append(m_pieces[i]);
    return text;
}

OString formatLogMessage(uint32_t messageId, uint32_t count, const OXArray<OString>& strings,
                         bool reportOnFailure) {
    // What OMessageFormatter(messageId) with the strings added makes, without
    // the pieces: the template is filled straight into the text.
    char templateText[kResourceTextSize];
    const int32_t templateLength = loadResourceText(messageId, templateText);
    const uint32_t n = count < strings.getSize() ? count : strings.getSize();
    OString text = fillTemplate(templateText, templateLength, strings, n);

    // Strings without a template would still give a text (they are appended),
    // so it is the template that tells whether the lookup failed.
    if (templateLength == 0) {
        // The assertion message itself never falls back: reporting its failure
        // would format another assertion.
        if (messageId == kMsgAssertionFailed)
            return text;
        if (!reportOnFailure) {
            logAssertion("olog.cpp", "231", "false",
                         "2nd time failure on looking resource string for the same logging "
                         "message\n");
            return OString();
        }
        logAssertion("olog.cpp", "238", "false",
                     "Cannot look up resource string in formatting logging messages\n");
        OXArray<OString> fallbackStrings;
        fallbackStrings.add(OString::fromNumber(messageId));
        fallbackStrings.add(OString::fromNumber(count));
        const OString fallback = formatLogMessage(kMsgTemplateMissing, 2, fallbackStrings, false);
        if (!fallback.isEmpty()) {
            logEvent(EVENTLOG_ERROR_TYPE, kCategoryLogger, kMsgTemplateMissing,
                     fallbackStrings[0].c_str(), fallbackStrings[1].c_str());
            text = fallback;
        }
        // Without the stand-in either, the event's own strings (already in
        // `text`, one after the other) are all that is left of its words.
    }

    // Line feeds and carriage returns become spaces, in one walk (a space is
    // neither, so the order of the two replacements does not matter). Neither
    // byte is ever part of a double-byte character, so a text without either
    // byte needs no walk.
    if (std::strpbrk(text.c_str(), "\n\r") != nullptr)
        for (OStringIterator it(text); !it.isAtEnd(); it.advance(1))
            if (it.current() == OChar('\n') || it.current() == OChar('\r'))
                text.replaceChar(it, OChar(' '));
    text.trimLeft();
    text.trimRight();
    return text;
}
