// The event sink: the system event log on the NT family, "event.log" elsewhere.
#include <oxlib/oeventlog.h>
#include <oxlib/olog.h>
#include <oxlib/omessageformatter.h>
#include <oxlib/oplatform.h>
#include <oxlib/otime.h>

#include "sys/osys.h"

namespace {

constexpr const char* kTypeExpression =
    "(wType == 0x0001) || (wType == 0x0002) || (wType == 0x0004) || (wType == 0x0100) || "
    "(wType == 0x0008) || (wType == 0x0010)";

bool isAcceptedType(uint16_t wType) {
    return wType == EVENTLOG_ERROR_TYPE || wType == EVENTLOG_WARNING_TYPE ||
           wType == EVENTLOG_INFORMATION_TYPE || wType == EVENTLOG_DEBUG_TYPE ||
           wType == EVENTLOG_AUDIT_SUCCESS || wType == EVENTLOG_AUDIT_FAILURE;
}

} // namespace

const char* const OEventLog::kTimeStampPicture = "M'/'d'/'yy'   'h':'mm':'sstt'    '";

OEventLog::OEventLog(const OString& fileName)
    : m_filePath(fileName), m_file(oxsys::kNoFile), m_nt(isNTPlatform()) {
    if (m_filePath.isEmpty() && !m_nt)
        m_filePath = eventLogFileName;
}

OEventLog::~OEventLog() {
    close();
}

bool OEventLog::open(const char* server, const char* source) {
    if (m_nt) {
        if (m_hEventSource == nullptr)
            m_hEventSource = oxsys::registerEventSource(server, source);
        return m_hEventSource != nullptr;
    }
    if (!m_fileOpen) {
        // A file that can't be opened leaves the stream failed: writes do
        // nothing, and the caller is still told that the sink is open.
        m_file = oxsys::openAppendFile(m_filePath.c_str());
        m_fileOpen = true;
    }
    return true;
}

bool OEventLog::report(uint16_t wType, const char* const* strings, uint16_t category,
                       uint16_t count, uint32_t id, void* user, uint32_t dataSize,
                       const void* data) {
    OX_ASSERT_AT(isAcceptedType(wType), "oeventlog.cpp", "137", kTypeExpression);

    // Null entries are skipped, so the strings after one take the lower numbers.
    OMessageFormatter formatter(id);
    if (strings != nullptr)
        for (uint16_t i = 0; i < count; ++i)
            if (strings[i] != nullptr)
                formatter.addInsert(OString(strings[i]));
    // Without a template there is no message: the strings alone are not one.
    const OString text = formatter.hasTemplate() ? formatter.build() : OString();

    if (m_nt) {
        if (m_hEventSource == nullptr)
            return false;
        return oxsys::reportEvent(m_hEventSource, wType, category, id, user, text.c_str(), dataSize,
                                  data);
    }
    const OString line = formatFileLine(OString::fromNumber(static_cast<int32_t>(int16_t(wType))),
                                        OString::fromNumber(static_cast<uint32_t>(category)), text);
    return writeLine(line);
}

OString OEventLog::formatFileLine(const OString& typeText, const OString& categoryText,
                                  const OString& message) {
    OString line = ODateTime::Now().Format(kTimeStampPicture, localZone);
    line.append(typeText);
    line.append("    ");
    line.append(categoryText);
    line.append("      ");
    line.append(message);
    line.append("\n"); // the text-mode file writes the platform's line end
    return line;
}

bool OEventLog::writeLine(const OString& line) {
    // The line waits in the stream until the sink is closed; then it goes to the
    // file in one write. Double-byte characters are written whole.
    if (m_fileOpen && m_file != oxsys::kNoFile)
        m_pending.append(line);
    return true;
}

bool OEventLog::close() {
    if (m_nt) {
        if (m_hEventSource != nullptr)
            oxsys::deregisterEventSource(m_hEventSource);
        m_hEventSource = nullptr;
        return true;
    }
    if (m_fileOpen) {
        if (!m_pending.isEmpty())
            oxsys::appendToFile(m_file, m_pending.c_str(),
                                static_cast<size_t>(m_pending.getNativeCharsUsed()));
        oxsys::closeAppendFile(m_file);
        m_file = oxsys::kNoFile;
        m_fileOpen = false;
        m_pending = OString();
    }
    return true;
}
