// The main window ready after the splash's tick: from creating the window to the window
// loaded from the shipped database, shown maximised and painted, as the start-up does it.
// Baseline in the same iterations: a bare main window with one label, shown and painted
// the same way (the toolkit's own floor).
//
//   quillmark_startup_bench [benchmark flags]   (offscreen unless a display is set)

#include "benchsupport.h"
#include "mainform.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTemporaryDir>

#include <memory>

namespace {

// Seconds until the window is shown and its first paint is done; the window is closed
// again outside the time.
template <typename Make> double ready(Make&& make) {
    std::unique_ptr<QWidget> w;
    const double s = secondsOf([&] {
        w = make();
        w->showMaximized();
        w->repaint();
        QCoreApplication::processEvents();
    });
    w.reset();
    QCoreApplication::processEvents();
    return s;
}

void MainWindowReady(benchmark::State& state) {
    QTemporaryDir folder;
    if (!copyShippedDatabase(folder)) {
        state.SkipWithError("cannot copy the database");
        return;
    }
    bool failed = false;
    const auto form = [&]() -> std::unique_ptr<QWidget> {
        auto f = std::make_unique<mainForm>(folder.path());
        failed = failed || !f->Form_Load();
        return f;
    };
    const auto bare = []() -> std::unique_ptr<QWidget> {
        auto w = std::make_unique<QMainWindow>();
        w->setCentralWidget(new QLabel(QStringLiteral("Quillmark")));
        return w;
    };
    PairedTimer timer(state);
    for (auto _ : state) {
        timer.own(ready(form));
        timer.baseline(ready(bare));
    }
    if (failed)
        state.SkipWithError("the window could not load its database");
}
BENCHMARK(MainWindowReady)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return runWindowBenchmarks(argc, argv);
}
