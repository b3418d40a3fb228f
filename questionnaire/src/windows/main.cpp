// quillmark: the business-plan questionnaire. It takes no arguments; its database,
// "0002.mdb", lies in the program's own folder.

#include "module1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));

    return Module1::run(QCoreApplication::applicationDirPath());
}
