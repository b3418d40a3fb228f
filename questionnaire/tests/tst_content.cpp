// The shipped question set: its shape, and the special steps on their intended topics.

#include "testfolder.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

class ContentTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void hasTwelveSectionsAndNinetyThreeSteps();
    void everySectionOpensWithAnOverview();
    void specialStepsAreOnTheirTopics_data();
    void specialStepsAreOnTheirTopics();
    void shipsEmptyAnswersAndBlankGrids();

private:
    QVariant value(const QString& sql);
    QSqlDatabase m_db;
};

void ContentTest::initTestCase() {
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("content"));
    m_db.setDatabaseName(QStringLiteral("file:" QUILLMARK_SHIPPED_DB "?mode=ro"));
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"));
    QVERIFY(m_db.open());
}

void ContentTest::cleanupTestCase() {
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("content"));
}

QVariant ContentTest::value(const QString& sql) {
    QSqlQuery q(m_db);
    if (!q.exec(sql) || !q.next())
        return {};
    return q.value(0);
}

void ContentTest::hasTwelveSectionsAndNinetyThreeSteps() {
    QCOMPARE(value("SELECT count(*) FROM Headings").toInt(), 12);
    QCOMPARE(value("SELECT count(*) FROM questions").toInt(), 93);
    QCOMPARE(value("SELECT min(QuestionNumber) FROM questions").toInt(), 1);
    QCOMPARE(value("SELECT max(QuestionNumber) FROM questions").toInt(), 93);
    // Every question reaches its section through the joins, so all 93 are steps.
    QCOMPARE(value("SELECT count(*) FROM Headings INNER JOIN (questions INNER JOIN Subheadings "
                   "ON questions.subheadingID = Subheadings.SubheadingID) ON Headings.HeadingID "
                   "= Subheadings.headingID")
                 .toInt(),
             93);
    QCOMPARE(value("SELECT count(*) FROM Headings h WHERE NOT EXISTS (SELECT 1 FROM "
                   "Subheadings s JOIN questions q ON q.subheadingID = s.SubheadingID "
                   "WHERE s.headingID = h.HeadingID)")
                 .toInt(),
             0);
    QCOMPARE(value("SELECT count(*) FROM questions WHERE trim(Question) = ''").toInt(), 0);
}

void ContentTest::everySectionOpensWithAnOverview() {
    const QString firstOfSection =
        "SELECT min(q.QuestionNumber) FROM questions q JOIN Subheadings s ON q.subheadingID = "
        "s.SubheadingID GROUP BY s.headingID";
    QCOMPARE(value("SELECT count(*) FROM questions WHERE description = '1' AND QuestionNumber "
                   "IN (" +
                   firstOfSection + ")")
                 .toInt(),
             12);
    // Overviews open sections and nothing else; every other step is a question.
    QCOMPARE(value("SELECT count(*) FROM questions WHERE description = '1'").toInt(), 12);
    QCOMPARE(value("SELECT count(*) FROM questions WHERE description = '0'").toInt(), 81);
    // Sections run in one piece: numbers of a section are contiguous.
    QCOMPARE(value("SELECT count(*) FROM (SELECT s.headingID, max(q.QuestionNumber) - "
                   "min(q.QuestionNumber) + 1 - count(*) AS gap FROM questions q JOIN "
                   "Subheadings s ON q.subheadingID = s.SubheadingID GROUP BY s.headingID) "
                   "WHERE gap <> 0")
                 .toInt(),
             0);
}

void ContentTest::specialStepsAreOnTheirTopics_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("topic");
    QTest::newRow("39") << 39 << "segment";
    QTest::newRow("42") << 42 << "sales";
    QTest::newRow("66") << 66 << "asset";
    QTest::newRow("67") << 67 << "raw material";
    QTest::newRow("89") << 89 << "profit and loss";
    QTest::newRow("90") << 90 << "cash";
    QTest::newRow("91") << 91 << "balance sheet";
}

void ContentTest::specialStepsAreOnTheirTopics() {
    QFETCH(int, number);
    QFETCH(QString, topic);
    const QString text =
        value(
            QStringLiteral("SELECT Question FROM questions WHERE QuestionNumber = %1").arg(number))
            .toString();
    QVERIFY2(text.contains(topic, Qt::CaseInsensitive), qPrintable(text));
    QCOMPARE(value(QStringLiteral("SELECT description FROM questions WHERE QuestionNumber = %1")
                       .arg(number))
                 .toString(),
             QStringLiteral("0"));
}

void ContentTest::shipsEmptyAnswersAndBlankGrids() {
    QCOMPARE(value("SELECT count(*) FROM Answers").toInt(), 93);
    QCOMPARE(value("SELECT count(*) FROM Answers WHERE Answer IS NOT NULL").toInt(), 0);
    QCOMPARE(value("SELECT min(AnswerID) || '-' || max(AnswerID) FROM Answers").toString(),
             QStringLiteral("1-93"));
    for (const char* table : {"projections", "assets", "rawmaterials", "PnL"})
        QVERIFY2(
            value(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))).toInt() > 0,
            table);
    QVERIFY(value("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'").toInt() == 0);
}

QTEST_GUILESS_MAIN(ContentTest)
#include "tst_content.moc"
