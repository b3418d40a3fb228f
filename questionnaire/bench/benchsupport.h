#pragma once

#include <QString>

#include <vector>

class QTemporaryDir;

// What the window benchmarks share, so their figures are taken the same way.

// Call before the QApplication is made: runs offscreen unless a display is set, and keeps
// the offscreen platform's warning about size hints (one per window) out of the output.
void prepareWindowBench();

// The folder made ready as a program folder with a copy of the shipped database; false,
// with the reason printed, when the copy fails.
bool copyShippedDatabase(const QTemporaryDir& folder);

double median(std::vector<double> v);
