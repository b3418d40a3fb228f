// Start-up after the splash: from creating the main window to the window loaded from the
// shipped database, shown and painted. Baseline in the same run: a bare main window with
// one label, shown and painted the same way (the toolkit's own floor).
//
//   quillmark_startup_bench [runs]      (offscreen unless a display is set)

#include "benchsupport.h"
#include "mainform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Milliseconds until the window is shown and its first paint is done.
double timeToReady(const std::function<std::unique_ptr<QWidget>()>& make) {
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QWidget> w = make();
    w->showMaximized();
    w->repaint();
    QCoreApplication::processEvents();
    const double ms = clock.nsecsElapsed() / 1e6;
    w.reset();
    QCoreApplication::processEvents();
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    prepareWindowBench();
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 21;

    QTemporaryDir folder;
    if (!copyShippedDatabase(folder))
        return 1;

    auto makeForm = [&]() -> std::unique_ptr<QWidget> {
        auto form = std::make_unique<mainForm>(folder.path());
        if (!form->Form_Load()) {
            std::fprintf(stderr, "load failed: %s\n", qPrintable(form->loadError()));
            std::exit(1);
        }
        return form;
    };
    auto makeBare = []() -> std::unique_ptr<QWidget> {
        auto w = std::make_unique<QMainWindow>();
        w->setCentralWidget(new QLabel(QStringLiteral("Quillmark")));
        return w;
    };

    // The first main window pays for fonts, styles and the SQL driver: the real start-up.
    const double cold = timeToReady(makeForm);
    timeToReady(makeBare);

    std::vector<double> form, bare;
    for (int i = 0; i < runs; ++i) {
        bare.push_back(timeToReady(makeBare));
        form.push_back(timeToReady(makeForm));
    }
    const double f = median(form), b = median(bare);
    std::printf("platform %s, %d runs\n", qPrintable(QGuiApplication::platformName()), runs);
    std::printf("main window ready, first (cold):  %8.2f ms   (target < 150 ms)\n", cold);
    std::printf("main window ready, median (warm): %8.2f ms\n", f);
    std::printf("baseline bare window, median:     %8.2f ms\n", b);
    std::printf("ratio main window / bare window:  %8.1fx (warm), %.1fx (cold vs warm bare)\n",
                f / b, cold / b);
    return 0;
}
