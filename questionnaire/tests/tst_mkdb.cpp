// The build's database tool: it builds the file, and never replaces one that holds the
// owner's work or that it cannot read.

#include "testfolder.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

class MkdbTest : public QObject {
    Q_OBJECT

private slots:
    void buildsFreshDatabase();
    void replacesUntouchedDatabase();
    void keepsDatabaseWithWork_data();
    void keepsDatabaseWithWork();
    void failsOnBadSqlWithoutTouchingOutput();

private:
    static int run(const QString& out, const QStringList& sql = {});
    static QStringList shippedSql();
};

QStringList MkdbTest::shippedSql() {
    return {QStringLiteral(QUILLMARK_SOURCE_DIR "/data/schema.sql"),
            QStringLiteral(QUILLMARK_SOURCE_DIR "/data/questions.sql"),
            QStringLiteral(QUILLMARK_SOURCE_DIR "/data/titles.sql"),
            QStringLiteral(QUILLMARK_SOURCE_DIR "/data/gridcolumns.sql")};
}

int MkdbTest::run(const QString& out, const QStringList& sql) {
    QProcess p;
    p.start(QStringLiteral(QUILLMARK_MKDB),
            QStringList{out} + (sql.isEmpty() ? shippedSql() : sql));
    if (!p.waitForFinished(60000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void MkdbTest::buildsFreshDatabase() {
    TestFolder folder(TestFolder::Empty);
    QCOMPARE(run(folder.databasePath()), 0);
    QCOMPARE(folder.value("SELECT count(*) FROM questions").toInt(), 93);
    QCOMPARE(folder.value("SELECT count(*) FROM Answers").toInt(), 93);
    // Every question has its short title, no overview step has one.
    QCOMPARE(folder
                 .value("SELECT count(*) FROM questions WHERE description = '0' AND "
                        "length(Title) > 0")
                 .toInt(),
             81);
    QCOMPARE(folder.value("SELECT count(*) FROM questions WHERE Title IS NOT NULL").toInt(), 81);
    QVERIFY(!QFile::exists(folder.databasePath() + ".new"));
}

void MkdbTest::replacesUntouchedDatabase() {
    TestFolder folder;
    QVERIFY(folder.exec("DELETE FROM questions WHERE QuestionNumber > 10"));
    QCOMPARE(run(folder.databasePath()), 0);
    QCOMPARE(folder.value("SELECT count(*) FROM questions").toInt(), 93);
}

void MkdbTest::keepsDatabaseWithWork_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("an answer") << "UPDATE Answers SET Answer = 'mine' WHERE AnswerID = 7";
    QTest::newRow("a figure") << "UPDATE assets SET OwnedCost = 1200 WHERE ID = 2";
    QTest::newRow("a grid text") << "UPDATE projections SET Month = 'May' WHERE ID = 1";
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("in use") << "wal";
}

void MkdbTest::keepsDatabaseWithWork() {
    QFETCH(QString, change);
    TestFolder folder;
    if (change == QLatin1String("garbage")) {
        QFile f(folder.databasePath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("my notes");
    } else if (change == QLatin1String("wal")) {
        QFile f(folder.databasePath() + "-wal");
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(folder.exec(change));
    }
    const auto before = folder.snapshot();
    QCOMPARE(run(folder.databasePath()), 0);
    QCOMPARE(folder.snapshot(), before);
}

void MkdbTest::failsOnBadSqlWithoutTouchingOutput() {
    TestFolder folder;
    QTemporaryFile bad;
    QVERIFY(bad.open());
    bad.write("CREATE TABLE Headings (x); INSERT INTO nowhere VALUES (1);");
    bad.close();
    const auto before = folder.snapshot();
    QVERIFY(run(folder.databasePath(), {bad.fileName()}) != 0);
    QCOMPARE(folder.snapshot(), before);
}

QTEST_GUILESS_MAIN(MkdbTest)
#include "tst_mkdb.moc"
