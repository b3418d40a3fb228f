#pragma once

#include <QString>
#include <QVariant>

// A fresh question database in a folder of the test's own, built from the shipped schema and
// question set, so the report is exercised on the real tables and the real 93 steps.
namespace ReportFixture {

// Creates `folder`/0002.mdb; returns its path (QFAIL-style empty string on failure).
QString makeDatabase(const QString& folder);
// Stores `rtf` as the answer of step `step` (1-based, by position).
void setAnswer(const QString& database, int step, const QString& rtf);
// Runs one statement on the database (fixtures for grid tables and broken schemas).
bool exec(const QString& database, const QString& sql);
// The shipped report definition.
QString shippedDefinition();
// An answer in RTF with a bold word, as a word processor would write it.
QString richAnswer(const QString& plain, const QString& boldWord);

} // namespace ReportFixture
