// What an owner does in order, checked against the file after every move: answers typed,
// moved away from, revisited, edited again, the program closed and started again; the file
// shared with a reader and a second copy of the program while we run; keystrokes where no
// answer box is shown; where the caret is after each kind of move.

#include "boundlabel.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "messageboxwatcher.h"
#include "recordcursor.h"
#include "reportdatabase.h"
#include "reportdocument.h"
#include "reportengine.h"
#include "reportexporter.h"
#include "testfolder.h"
#include "testform.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextList>
#include <QtTest>

namespace {

// Every answer row that holds anything, by AnswerID.
QMap<int, QString> filledRows(const TestFolder& folder) {
    QMap<int, QString> rows;
    for (int id = 1; id <= 93; ++id) {
        const QString text = storedAnswer(folder, id);
        if (!text.isEmpty())
            rows.insert(id, text);
    }
    return rows;
}

// Checks that exactly the rows in `expected` hold an answer, each containing its words.
void expectRows(const TestFolder& folder, const QMap<int, QStringList>& expected) {
    const QMap<int, QString> rows = filledRows(folder);
    QCOMPARE(rows.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        for (const QString& words : it.value())
            QVERIFY2(rows.value(it.key()).contains(words),
                     qPrintable(QStringLiteral("row %1 lacks \"%2\": %3")
                                    .arg(it.key())
                                    .arg(words, rows.value(it.key()).left(400))));
}

// Types at the caret of whatever has the focus, as the keyboard would.
void typeAtFocus(const QString& text) {
    QWidget* target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClicks(target, text);
}

// A button's Alt shortcut, pressed wherever the focus is: sent to the window through the
// platform's path, as a keyboard would, so the shortcut map sees it.
void altKey(Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target->window()->windowHandle(), key, Qt::AltModifier);
    // A button's shortcut animates the click: it is released, and clicked, 100 ms later.
    QTest::qWait(250);
}

// A sqlite3 process reading the file while we hold it.
QString readWithSqlite3(const QString& path, const QString& sql) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {path, sql});
    if (!p.waitForFinished(15000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("sqlite3 failed: ") +
               QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Descriptors of this process that point at a file that no longer exists.
QStringList deletedDescriptors() {
    QStringList deleted;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFileInfo(fds.filePath(fd)).symLinkTarget();
        if (target.endsWith(QLatin1String(" (deleted)")))
            deleted << target;
    }
    return deleted;
}

} // namespace

class JourneyTest : public QObject {
    Q_OBJECT

private slots:
    void answersRevisitedEditedAndRestarted();
    void fileSharedWithReaderAndSecondCopy();
    void keystrokesOnAnOverviewReachNoRow();
    void focusAfterEveryKindOfMove();
    void progressBarRepaintsOnEveryMove();
    void storeWaitingOnAnotherWriterSaysSo();
    void pastedPictureKeptThroughRestartReportAndExport();
};

void JourneyTest::answersRevisitedEditedAndRestarted() {
    TestFolder folder;
    {
        auto form = loadForm(folder);

        // Step 2 by the mouse, plain words typed at the caret.
        QTest::mouseClick(ui(form)->command3, Qt::LeftButton);
        QCOMPARE(shownStep(*form), 2);
        typeAtFocus(QStringLiteral("alpha two"));

        // Step 3 by the keyboard, with bold text and a list.
        altKey(Qt::Key_N);
        QCOMPARE(shownStep(*form), 3);
        typeAtFocus(QStringLiteral("alpha three "));
        {
            QTextCursor c = ui(form)->text1->textCursor();
            QTextCharFormat bold;
            bold.setFontWeight(QFont::Bold);
            c.insertText(QStringLiteral("bold words"), bold);
            c.insertBlock();
            c.createList(QTextListFormat::ListDisc);
            c.insertText(QStringLiteral("first item"), QTextCharFormat());
            c.insertBlock();
            c.insertText(QStringLiteral("second item"));
            ui(form)->text1->setTextCursor(c);
        }
        form->command3_Click();
        form->command3_Click();
        QCOMPARE(shownStep(*form), 5);
        typeAtFocus(QStringLiteral("gamma five"));
        form->command4_Click();
        expectRows(folder, {{2, {"alpha two"}},
                            {3, {"alpha three", "bold words", "first item", "second item"}},
                            {5, {"gamma five"}}});

        // Every button and both bounces, checking the file each time.
        form->Command8_Click();
        QCOMPARE(shownStep(*form), 93);
        form->command3_Click(); // bounce at the end
        QCOMPARE(shownStep(*form), 93);
        form->Command7_Click();
        form->command4_Click(); // bounce at the start
        QCOMPARE(shownStep(*form), 1);
        QCOMPARE(ui(form)->Adodc2->position(), 0);
        expectRows(folder, {{2, {"alpha two"}},
                            {3, {"alpha three", "bold words", "first item"}},
                            {5, {"gamma five"}}});

        // Revisit each answer: the box shows its own row, and an edit goes back to it.
        const QMap<int, QString> shown = {
            {2, "alpha two"}, {3, "alpha three bold words"}, {5, "gamma five"}};
        for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
            goToStep(*form, it.key());
            QVERIFY2(ui(form)->text1->toPlainText().startsWith(it.value()),
                     qPrintable(ui(form)->text1->toPlainText()));
            QTextCursor end = ui(form)->text1->textCursor();
            end.movePosition(QTextCursor::End);
            ui(form)->text1->setTextCursor(end);
            typeAtFocus(QStringLiteral(" beta%1").arg(it.key()));
            form->command3_Click();
            form->command4_Click();
            QVERIFY2(
                ui(form)->text1->toPlainText().contains(QStringLiteral("beta%1").arg(it.key())),
                qPrintable(ui(form)->text1->toPlainText()));
        }
        // A second round of edits on the same rows.
        // The caret waits at the end of the answer shown.
        goToStep(*form, 3);
        typeAtFocus(QStringLiteral(" again"));
        form->Command8_Click();
        expectRows(folder, {{2, {"alpha two", "beta2"}},
                            {3, {"alpha three", "bold words", "second item beta3 again"}},
                            {5, {"gamma five beta5"}}});
    }

    // Started again: each step shows its own row.
    auto form = loadForm(folder);
    const QMap<int, QString> shown = {{2, "alpha two beta2"}, {5, "gamma five beta5"}};
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        goToStep(*form, it.key());
        QCOMPARE(ui(form)->text1->toPlainText(), it.value());
    }
    goToStep(*form, 3);
    QVERIFY(ui(form)->text1->toPlainText().startsWith(QStringLiteral("alpha three bold words")));
    QVERIFY(ui(form)->text1->toPlainText().endsWith(QStringLiteral("beta3 again")));
    QCOMPARE(ui(form)->text1->document()->blockCount(), 3);
    QVERIFY(ui(form)->text1->document()->lastBlock().textList());
    goToStep(*form, 4);
    QVERIFY(ui(form)->text1->toPlainText().isEmpty());
}

void JourneyTest::fileSharedWithReaderAndSecondCopy() {
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
        QSKIP("sqlite3 is not installed");
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 2);
    ui(form)->text1->insertPlainText(QStringLiteral("before the others"));
    form->command3_Click();

    // A reader beside us, and a second copy that opens the file and exits.
    QCOMPARE(readWithSqlite3(folder.databasePath(),
                             QStringLiteral("SELECT count(*) FROM Answers WHERE Answer LIKE "
                                            "'%before the others%'")),
             QStringLiteral("1"));
    QProcess second;
    second.start(QStringLiteral(QUILLMARK_SECOND_COPY), {folder.path()}, QIODevice::ReadOnly);
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(QFileInfo::exists(folder.databasePath() + QStringLiteral("-wal")),
             "the running program's write-ahead log was deleted");

    // Then we store an answer: a reader sees it at once, and nothing points at a lost file.
    ui(form)->text1->insertPlainText(QStringLiteral("after the others"));
    form->command3_Click();
    QCOMPARE(readWithSqlite3(folder.databasePath(),
                             QStringLiteral("SELECT AnswerID FROM Answers WHERE Answer LIKE "
                                            "'%after the others%'")),
             QStringLiteral("3"));
    QCOMPARE(deletedDescriptors(), QStringList());

    // The report's own connection opens and closes the file while we run, too.
    {
        ReportDatabase report(folder.databasePath());
        QCOMPARE(report
                     .select(QStringLiteral("SELECT count(*) FROM Answers WHERE Answer "
                                            "IS NOT NULL"))
                     .rows.value(0)
                     .value(0)
                     .toInt(),
                 2);
    }
    QVERIFY(QFileInfo::exists(folder.databasePath() + QStringLiteral("-wal")));
    ui(form)->text1->insertPlainText(QStringLiteral("last words"));
    form->command3_Click();
    QCOMPARE(deletedDescriptors(), QStringList());
    form.reset();
    QVERIFY(storedAnswer(folder, 3).contains(QStringLiteral("after the others")));
    QVERIFY(storedAnswer(folder, 4).contains(QStringLiteral("last words")));
    QCOMPARE(
        readWithSqlite3(folder.databasePath(),
                        QStringLiteral("SELECT count(*) FROM Answers WHERE Answer IS NOT NULL")),
        QStringLiteral("3"));
}

void JourneyTest::keystrokesOnAnOverviewReachNoRow() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 7);
    ui(form)->text1->setFocus();
    typeAtFocus(QStringLiteral("seven"));
    altKey(Qt::Key_N);
    QCOMPARE(shownStep(*form), 8);
    QVERIFY(ui(form)->text1->isHidden());
    typeAtFocus(QStringLiteral("strayKeys"));
    // Even text that reaches the hidden box by other means is never stored.
    ui(form)->text1->insertPlainText(QStringLiteral("hidden text"));
    form->command3_Click();
    QCOMPARE(shownStep(*form), 9);
    expectRows(folder, {{7, {"seven"}}});
    form->Command7_Click();
    QCOMPARE(shownStep(*form), 1);
    expectRows(folder, {{7, {"seven"}}});
}

void JourneyTest::focusAfterEveryKindOfMove() {
    TestFolder folder;
    auto form = loadForm(folder);
    // Step 1 is an overview: Next has the focus, and Space moves on.
    QCOMPARE(QApplication::focusWidget(), ui(form)->command3);
    QTest::keyClick(ui(form)->command3, Qt::Key_Space);
    QCOMPARE(shownStep(*form), 2);
    QCOMPARE(QApplication::focusWidget(), ui(form)->text1);

    QTest::mouseClick(ui(form)->command3, Qt::LeftButton);
    QCOMPARE(shownStep(*form), 3);
    QCOMPARE(QApplication::focusWidget(), ui(form)->text1);
    QTest::mouseClick(ui(form)->command4, Qt::LeftButton);
    QCOMPARE(shownStep(*form), 2);
    QCOMPARE(QApplication::focusWidget(), ui(form)->text1);
    altKey(Qt::Key_L);
    QCOMPARE(shownStep(*form), 93);
    QCOMPARE(QApplication::focusWidget(), ui(form)->text1);
    altKey(Qt::Key_N); // the bounce
    QCOMPARE(QApplication::focusWidget(), ui(form)->text1);
    QTest::mouseClick(ui(form)->Command7, Qt::LeftButton); // Alt+F is also the File menu's
    QCOMPARE(shownStep(*form), 1);
    QCOMPARE(QApplication::focusWidget(), ui(form)->command3);
    goToStep(*form, 7);
    altKey(Qt::Key_N);
    QCOMPARE(shownStep(*form), 8);
    QCOMPARE(QApplication::focusWidget(), ui(form)->command3);
}

void JourneyTest::progressBarRepaintsOnEveryMove() {
    TestFolder folder;
    auto form = loadForm(folder);
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter;
    ui(form)->ProgressBar1->installEventFilter(&counter);
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        const int before = counter.paints;
        form->command3_Click();
        QTRY_VERIFY2_WITH_TIMEOUT(counter.paints > before, "the bar was not repainted", 2000);
    }
}

void JourneyTest::storeWaitingOnAnotherWriterSaysSo() {
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
        QSKIP("sqlite3 is not installed");
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 2);
    ui(form)->text1->insertPlainText(QStringLiteral("kept while locked"));

    // Another program holds the write lock for longer than we wait.
    QProcess writer;
    writer.start(QStringLiteral("sqlite3"), {folder.databasePath()});
    QVERIFY(writer.waitForStarted());
    writer.write("BEGIN IMMEDIATE; UPDATE PnL SET rowid = rowid; SELECT 'locked';\n");
    QVERIFY(writer.waitForReadyRead(10000));
    QCOMPARE(writer.readAllStandardOutput().trimmed(), QByteArray("locked"));
    {
        MessageBoxWatcher watcher;
        form->command3_Click();
        QCOMPARE(watcher.texts.size(), 1);
        QVERIFY2(watcher.texts[0].contains(QLatin1String("another program kept the database "
                                                         "locked")) &&
                     watcher.texts[0].contains(QLatin1String("still in the answer box")),
                 qPrintable(watcher.texts[0]));
    }
    QCOMPARE(shownStep(*form), 2);
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("kept while locked"));
    QVERIFY(!QGuiApplication::overrideCursor());

    // Once the other program is done, moving on stores it.
    writer.write("COMMIT;\n.quit\n");
    writer.closeWriteChannel();
    QVERIFY(writer.waitForFinished(10000));
    form->command3_Click();
    QCOMPARE(shownStep(*form), 3);
    expectRows(folder, {{2, {"kept while locked"}}});
}

namespace {

// The first picture of a document, loaded from its resource.
QImage firstPicture(QTextDocument* doc) {
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat()) {
                const QVariant r =
                    doc->resource(QTextDocument::ImageResource, QUrl(f.toImageFormat().name()));
                if (r.canConvert<QImage>())
                    return r.value<QImage>();
                QImage image;
                image.loadFromData(r.toByteArray());
                return image;
            }
        }
    return {};
}

} // namespace

void JourneyTest::pastedPictureKeptThroughRestartReportAndExport() {
    TestFolder folder;
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter p(&picture);
        p.fillRect(0, 0, 20, 30, QColor(200, 30, 30));
    }
    {
        auto form = loadForm(folder);
        goToStep(*form, 2);
        ui(form)->text1->insertPlainText(QStringLiteral("Our shop front: "));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        auto* mime = new QMimeData;
        mime->setData(QStringLiteral("image/png"), png);
        QGuiApplication::clipboard()->setMimeData(mime);
        ui(form)->text1->paste();
        form->command3_Click();
        QVERIFY(storedAnswer(folder, 2).contains(QStringLiteral("\\pngblip")));
    }

    // Started again, the picture is back in the box, pixel for pixel.
    {
        auto form = loadForm(folder);
        goToStep(*form, 2);
        QVERIFY(ui(form)->text1->toPlainText().startsWith(QStringLiteral("Our shop front:")));
        const QImage shown = firstPicture(ui(form)->text1->document());
        QCOMPARE(shown.size(), picture.size());
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), picture);
    }

    // In the report and in its RTF export.
    ReportEngine engine;
    engine.setDataFile(0, folder.databasePath());
    engine.setReportFileName(QStringLiteral(QUILLMARK_SOURCE_DIR "/data/DraftBusinessReport.rpt"));
    for (int16_t i = 0; i < engine.subreportCount(); ++i) {
        engine.setSubreportToChange(engine.subreportName(i));
        engine.setDataFile(0, folder.databasePath());
    }
    const std::unique_ptr<ReportDocument> report = engine.render();
    QCOMPARE(firstPicture(report->textDocument()).convertToFormat(QImage::Format_RGB32), picture);
    const QString rtfPath = folder.path() + QStringLiteral("/draft.rtf");
    QCOMPARE(ReportExporter::write(*report, ReportExporter::Format::Rtf, rtfPath), QString());
    QFile rtf(rtfPath);
    QVERIFY(rtf.open(QIODevice::ReadOnly));
    QVERIFY(rtf.readAll().contains("\\pngblip"));
}

QTEST_MAIN(JourneyTest)
#include "tst_journey.moc"
