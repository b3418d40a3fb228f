// OEventLog: records one event at a time where the system keeps events. On the
// NT family that is the system event log, under the event source the logger
// registered; elsewhere it is the text file "event.log" in the current folder,
// to which every event is appended as one line:
//
//   <M/d/yy   h:mm:sstt    ><type>    <category>      <message>\n
//
// (the local time, the type in signed decimal, four spaces, the category, six
// spaces, the message text). The file only grows. Each report is one
// open-write-close: the line is written in one call to a file opened for
// appending, so reports of several threads and processes never tear a line.
//
// The logger uses a sink for its reports about itself: create, open, report one
// event, close. A sink belongs to that one call and is never shared.
#pragma once

#include <oxlib/ostring.h>

#include <cstdint>

// The file the sink writes outside the NT family: "event.log" (relative, so it
// lies in the process's current folder).
extern const OString eventLogFileName;

class OEventLog {
public:
    // Uses `fileName`; an empty name means eventLogFileName outside the NT
    // family and no file at all on it. Opens nothing.
    explicit OEventLog(const OString& fileName = OString());
    ~OEventLog();
    OEventLog(const OEventLog&) = delete;
    OEventLog& operator=(const OEventLog&) = delete;

    // NT family: registers the event source on `server` (null: this computer)
    // and returns whether that worked. Elsewhere: opens the file for appending
    // unless it is open, and returns true even when it can't be opened (the
    // event is then lost silently).
    bool open(const char* server, const char* source);
    // Records one event: the message text is the template of `id` with the
    // non-null entries of the first `count` strings in order (no fallback when
    // the template is missing: the text is then empty; line breaks are kept). A
    // type other than 1, 2, 4, 8, 16 or 256 is reported as an assertion and
    // recorded as it is. `user`, `dataSize` and `data` reach the event log only.
    bool report(uint16_t wType, const char* const* strings, uint16_t category, uint16_t count,
                uint32_t id, void* user = nullptr, uint32_t dataSize = 0,
                const void* data = nullptr);
    // Deregisters the source, or writes the pending line and closes the file so
    // that it can be opened again. Always true.
    bool close();

    // The file line of an event (the time stamp is the current local time).
    static OString formatFileLine(const OString& typeText, const OString& categoryText,
                                  const OString& message);
    // The picture of the time stamp that starts each file line.
    static const char* const kTimeStampPicture;

    const OString& filePath() const { return m_filePath; }

private:
    bool writeLine(const OString& line);

    OString m_filePath;
    // The file stream: the open file and the text waiting to be written when the
    // sink is closed.
    int m_file;
    bool m_fileOpen = false;
    OString m_pending;
    void* m_hEventSource = nullptr;
    bool m_nt;
};
