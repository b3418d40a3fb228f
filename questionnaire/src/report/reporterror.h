#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

// A failure of the report engine: a number the caller can act on and a text meant for the
// user. Every operation of ReportEngine reports failures by throwing one of these and leaves
// the engine usable afterwards.
//
// Numbers:
//   20000  a subreport's figures cannot be reached (its data file does not open or lacks the
//          subreport's table). The only recoverable error: the subreport is printed as
//          "figures unavailable" and everything else renders.
//   205xx  everything else; the report cannot be produced as asked.
class ReportError : public std::runtime_error {
public:
    enum Number : int32_t {
        SubreportDataUnavailable = 20000,
        ReportFileMissing = 20504,
        ReportFileUnreadable = 20505,
        DefinitionMalformed = 20506,
        NoSuchSubreport = 20507,
        BadDataFileIndex = 20508,
        DataFileUnavailable = 20509,
        QueryFailed = 20510,
        BadSetting = 20511,
        NoReportFile = 20512,
        BadSubreportIndex = 20513,
    };

    // The one number the caller may recover from by going on with its next statement.
    static constexpr int32_t Recoverable = SubreportDataUnavailable;

    ReportError(int32_t number, const QString& message)
        : std::runtime_error(message.toStdString()), number_(number), message_(message) {}

    int32_t number() const noexcept { return number_; }
    const QString& message() const noexcept { return message_; }
    bool recoverable() const noexcept { return number_ == Recoverable; }

private:
    int32_t number_;
    QString message_;
};
