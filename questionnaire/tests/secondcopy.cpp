// A second copy of the program for the tests: loads the main window on the program folder
// given as the argument, exactly as the program does, and exits normally, closing every
// connection it opened. Exit status 0 when the load succeeded.

#include "mainform.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    mainForm form(QString::fromLocal8Bit(argv[1]));
    return form.Form_Load() ? 0 : 1;
}
