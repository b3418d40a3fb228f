#pragma once

#include <QString>
#include <functional>

class QTextCursor;

// Content that a part of the program adds to the report under a step, after the step's
// answer and figure tables: written straight into the report's text document (tables,
// pictures as document images), so that the preview, print and every export carry it.
//
// A provider is asked once per render for a writer, with what the render knows; the
// writer is then called for every step in order. The renderer keeps no state of its own
// for it.
namespace ReportStepContent {

struct Context {
    QString dataFile;   // the report's data file
    QString fontFamily; // the report's body font
    double fontSize = 10;
    double textWidth = 0; // between the margins, in the document's layout units
};

using Writer = std::function<void(QTextCursor& cursor, int step)>;
using Provider = std::function<Writer(const Context&)>;

// Replaces the provider; an empty one adds nothing.
void setProvider(Provider provider);
// The writer for one render, or an empty one.
Writer writerFor(const Context& context);

} // namespace ReportStepContent
