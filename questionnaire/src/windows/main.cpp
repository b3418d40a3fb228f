// quillmark: the business-plan questionnaire. It takes no arguments; its database,
// "0002.mdb", lies in the program's own folder.

#include "mainform.h"
#include "module1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));

    const std::unique_ptr<mainForm> form = Module1::Main(QCoreApplication::applicationDirPath());
    if (!form)
        return 1;
    return QApplication::exec();
}
