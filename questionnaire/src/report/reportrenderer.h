#pragma once

#include "reportdefinition.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>

class ReportDocument;

// Builds the report from a definition and what its data files hold at this moment: a title
// page, the contents, one chapter per section with every question and its stored answer in
// its own formatting (open questions marked as such), and the subreports' figure tables with
// their totals.
//
// A subreport whose data cannot be read renders as a short note with the reason; every other
// data failure throws ReportError (20509 data file, 20510 query or missing column).
class ReportRenderer {
public:
    explicit ReportRenderer(const ReportDefinition& definition);

    // Told after each step how many of the steps are done; returning false stops the
    // render, which then returns no document.
    using Progress = std::function<bool(int done, int total)>;

    std::unique_ptr<ReportDocument> render(const Progress& progress = {}) const;

    // Counts of the last render, for the title page and for callers that report on it.
    struct Summary {
        int questions = 0;
        int answered = 0;
        int chapters = 0;
        int subreportsShown = 0;
    };
    const Summary& summary() const { return summary_; }

private:
    const ReportDefinition& def_;
    mutable Summary summary_;
};
