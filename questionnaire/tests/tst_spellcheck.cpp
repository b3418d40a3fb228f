// Spell-checking and the reading aids of the answer box: which words are checked and
// counted, the dictionary a locale gets, the real en_US and en_GB dictionaries, the
// personal word list, and in the window the marks, the context menu, the zoom and the word
// count, none of which ever changes what is stored.

#include "answerzoom.h"
#include "dictionarycatalog.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "messageboxwatcher.h"
#include "personalwordlist.h"
#include "recordcursor.h"
#include "rtftextedit.h"
#include "spellcheck.h"
#include "spelldictionary.h"
#include "spellhighlighter.h"
#include "statusline.h"
#include "testfolder.h"
#include "testform.h"
#include "wordscanner.h"

#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QtTest>

namespace {

QStringList checkableWords(const QString& text) {
    QStringList out;
    for (const WordScanner::Span& s : WordScanner::checkable(text))
        out << text.mid(s.start, s.length);
    return out;
}

void touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

DictionaryCatalog::Dictionary systemDictionary(const QString& name) {
    const auto all = DictionaryCatalog::installed({QStringLiteral("/usr/share/hunspell")});
    for (const auto& d : all)
        if (d.name == name)
            return d;
    return {};
}

// The position of `word` in the answer box, and a point of the viewport on it.
QPoint pointOn(QTextEdit* box, const QString& word) {
    const int at = int(box->toPlainText().indexOf(word));
    QTextCursor c(box->document());
    c.setPosition(at + 1);
    return box->cursorRect(c).center();
}

} // namespace

class SpellCheckTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void scannerFindsTheWordsWorthChecking();
    void wordCountFollowsWhitespace();
    void localeChoosesTheDictionary();
    void realDictionariesJudgeWords();
    void personalWordsAreKeptPerUser();
    void boxMarksMisspeltWordsOnly();
    void dictionaryReadBesideTheShownWindow();
    void contextMenuSuggestsAndAdds();
    void checkingAndZoomNeverChangeTheStoredAnswer();
    void markKeepsEachCharactersZoomedSize();
    void zoomByKeysAndWheel();
    void wordCountInTheStatusLine();

private:
    QTemporaryDir m_home;
};

void SpellCheckTest::initTestCase() {
    // Nothing here touches the real user's word list.
    qputenv("XDG_DATA_HOME", m_home.path().toLocal8Bit());
    qunsetenv("DICPATH");
    QVERIFY2(!systemDictionary(QStringLiteral("en_US")).name.isEmpty(), "hunspell-en-us missing");
}

void SpellCheckTest::scannerFindsTheWordsWorthChecking() {
    QCOMPARE(checkableWords(QStringLiteral("Our owner's shop, don\u2019t stop")),
             (QStringList{"Our", "owner's", "shop", "don\u2019t", "stop"}));
    // Figures and codes, acronyms and edge apostrophes.
    QCOMPARE(checkableWords(QStringLiteral("Q3 sales 3rd mp3 VAT SWOT I 'quoted' well-known")),
             (QStringList{"sales", "I", "quoted", "well", "known"}));
    QCOMPARE(checkableWords(QStringLiteral("caf\u00e9 na\u0131ve")),
             (QStringList{"caf\u00e9", "na\u0131ve"}));
    QVERIFY(checkableWords(QString()).isEmpty());
    QVERIFY(checkableWords(QStringLiteral(" -- 42 %")).isEmpty());
    const QList<WordScanner::Span> spans = WordScanner::checkable(QStringLiteral("  ab cd"));
    QCOMPARE(spans, (QList<WordScanner::Span>{{2, 2}, {5, 2}}));
}

void SpellCheckTest::wordCountFollowsWhitespace() {
    QCOMPARE(WordScanner::count(QString()), 0);
    QCOMPARE(WordScanner::count(QStringLiteral("  \n\t ")), 0);
    QCOMPARE(WordScanner::count(QStringLiteral("one")), 1);
    QCOMPARE(WordScanner::count(QStringLiteral("well-known bakery - 12% growth, Q3.")), 5);
    QCOMPARE(WordScanner::count(QStringLiteral("line one\nline\u2029two")), 4);
}

void SpellCheckTest::localeChoosesTheDictionary() {
    QTemporaryDir first, second;
    for (const char* name : {"en_GB", "en_US", "de_DE", "hyph_en_US"}) {
        touch(first.filePath(QString::fromLatin1(name) + ".aff"));
        touch(first.filePath(QString::fromLatin1(name) + ".dic"));
    }
    touch(first.filePath("fr_FR.aff")); // no word file: not a dictionary
    touch(second.filePath("en_GB.aff"));
    touch(second.filePath("en_GB.dic"));
    touch(second.filePath("nl_NL.aff"));
    touch(second.filePath("nl_NL.dic"));

    const auto all = DictionaryCatalog::installed({first.path(), second.path()});
    QStringList names;
    for (const auto& d : all)
        names << d.name;
    QCOMPARE(names, (QStringList{"de_DE", "en_GB", "en_US", "nl_NL"}));
    // The earlier folder wins a name both hold.
    QCOMPARE(all[1].affPath, first.filePath("en_GB.aff"));

    auto chosen = [&](const QString& locale) {
        const auto d = DictionaryCatalog::forLocale(all, locale);
        return d ? d->name : QStringLiteral("(none)");
    };
    QCOMPARE(chosen("en_GB.UTF-8"), QStringLiteral("en_GB"));
    QCOMPARE(chosen("de-DE@euro"), QStringLiteral("de_DE"));
    QCOMPARE(chosen("de_AT"), QStringLiteral("de_DE"));
    QCOMPARE(chosen("fr_FR"), QStringLiteral("en_US"));
    QCOMPARE(chosen("C"), QStringLiteral("en_US"));
    QCOMPARE(chosen(QString()), QStringLiteral("en_US"));
    QVERIFY(!DictionaryCatalog::forLocale({}, "en_US"));

    // $DICPATH comes before the system folders.
    qputenv("DICPATH", (second.path() + ":/nonexistent").toLocal8Bit());
    QCOMPARE(DictionaryCatalog::searchFolders().value(0), second.path());
    qunsetenv("DICPATH");
}

void SpellCheckTest::realDictionariesJudgeWords() {
    QString error;
    auto us = SpellDictionary::load(systemDictionary("en_US"), &error);
    QVERIFY2(us, qPrintable(error));
    QVERIFY(us->isCorrect("bakery"));
    QVERIFY(us->isCorrect("owner's"));
    QVERIFY(us->isCorrect("owner\u2019s"));
    QVERIFY(!us->isCorrect("bakary"));
    QVERIFY(!us->isCorrect("colour"));
    QVERIFY(us->suggestions("bakary").contains("bakery"));
    QVERIFY(us->suggestions("mornning", 3).size() <= 3);
    us->addWord("Quillmarkish");
    QVERIFY(us->isCorrect("Quillmarkish"));

    auto gb = SpellDictionary::load(systemDictionary("en_GB"), &error);
    QVERIFY2(gb, qPrintable(error));
    QVERIFY(gb->isCorrect("colour"));
    QVERIFY(!gb->isCorrect("bakary"));

    QVERIFY(!SpellDictionary::load({"xx_XX", "/nonexistent.aff", "/nonexistent.dic"}, &error));
    QVERIFY(error.contains("/nonexistent.aff"));
}

void SpellCheckTest::personalWordsAreKeptPerUser() {
    const QString path = PersonalWordList::defaultPath();
    QCOMPARE(path, m_home.filePath("quillmark/personal-words.txt"));
    {
        PersonalWordList words;
        QVERIFY(words.words().isEmpty());
        QVERIFY(words.add("Bakewellton"));
        QVERIFY(words.add("Bakewellton")); // once only
        QVERIFY(words.add("Crumbly\u00e9"));
    }
    PersonalWordList again;
    QCOMPARE(again.words(), (QStringList{"Bakewellton", "Crumbly\u00e9"}));

    // A list that cannot be written says so and keeps the word for the session.
    QTemporaryDir dir;
    touch(dir.filePath("file"));
    PersonalWordList blocked(dir.filePath("file/sub/words.txt"));
    QString error;
    QVERIFY(!blocked.add("Oatcakery", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(blocked.contains("Oatcakery"));
}

void SpellCheckTest::boxMarksMisspeltWordsOnly() {
    TestFolder folder;
    auto form = loadForm(folder);
    QVERIFY(ui(form)->spelling->load("en_US"));
    QCOMPARE(ui(form)->spelling->dictionaryName(), QStringLiteral("en_US"));
    goToStep(*form, 2);
    QTest::keyClicks(ui(form)->text1, QStringLiteral("Fresh bakary bread"));
    SpellHighlighter* h = ui(form)->spelling->highlighter();
    const QString text = ui(form)->text1->toPlainText();
    QVERIFY(h->isMarked(int(text.indexOf("bakary"))));
    QVERIFY(h->isMarked(int(text.indexOf("bakary")) + 5));
    QVERIFY(!h->isMarked(int(text.indexOf("Fresh"))));
    QVERIFY(!h->isMarked(int(text.indexOf("bread")) + 2));
    QVERIFY(!h->isMarked(int(text.indexOf(" "))));

    // Another dictionary judges again at once.
    QTest::keyClicks(ui(form)->text1, QStringLiteral(" colour"));
    const int colour = int(ui(form)->text1->toPlainText().indexOf("colour"));
    QVERIFY(h->isMarked(colour));
    QVERIFY(ui(form)->spelling->useDictionary("en_GB"));
    QVERIFY(!h->isMarked(colour));
    QVERIFY(h->isMarked(int(text.indexOf("bakary"))));
    QString error;
    QVERIFY(!ui(form)->spelling->useDictionary("xx_XX", &error));
    QCOMPARE(ui(form)->spelling->dictionaryName(), QStringLiteral("en_GB"));
}

void SpellCheckTest::dictionaryReadBesideTheShownWindow() {
    // Read on a worker after the window is up: typing goes on meanwhile, and the marks come
    // once the dictionary is there. A load asked for meanwhile waits for it; a window that
    // closes meanwhile lets the reader finish first.
    for (const bool askAgain : {false, true}) {
        TestFolder folder;
        auto form = loadForm(folder);
        form->show();
        goToStep(*form, 2);
        QTest::keyClicks(ui(form)->text1, QStringLiteral("Fresh bakary bread"));
        ui(form)->spelling->loadInBackground(QStringLiteral("en_US"));
        if (askAgain)
            QVERIFY(ui(form)->spelling->load(QStringLiteral("en_GB")));
        QTRY_COMPARE(ui(form)->spelling->dictionaryName(), QStringLiteral("en_US"));
        QVERIFY(ui(form)->spelling->highlighter()->isMarked(
            int(ui(form)->text1->toPlainText().indexOf("bakary"))));
    }
    TestFolder folder;
    auto closing = loadForm(folder);
    ui(closing)->spelling->loadInBackground(QStringLiteral("en_US"));
    closing.reset();
}

void SpellCheckTest::contextMenuSuggestsAndAdds() {
    TestFolder folder;
    auto form = loadForm(folder);
    QVERIFY(ui(form)->spelling->load("en_US"));
    goToStep(*form, 2);
    QTest::keyClicks(ui(form)->text1, QStringLiteral("We bake for ofices and Crumbton folk."));
    QTest::qWait(10);

    auto titles = [](QMenu* menu) {
        QStringList t;
        for (QAction* a : menu->actions())
            t << a->text();
        return t;
    };
    // On a misspelt word: its suggestions first, then "Add to dictionary", then the box's own.
    std::unique_ptr<QMenu> menu(
        ui(form)->spelling->createContextMenu(pointOn(ui(form)->text1, "ofices")));
    QStringList t = titles(menu.get());
    QVERIFY2(t.indexOf("offices") == 0 || t.indexOf("offices") == 1, qPrintable(t.join('|')));
    QVERIFY(t.contains("Add to dictionary"));
    QVERIFY(t.indexOf("Add to dictionary") < t.indexOf(QRegularExpression("^&?Undo.*")));
    QVERIFY(t.contains("Spelling dictionary"));
    // Picking the suggestion is an edit like typing: pending, stored on the move.
    for (QAction* a : menu->actions())
        if (a->text() == "offices")
            a->trigger();
    QCOMPARE(ui(form)->text1->toPlainText(),
             QStringLiteral("We bake for offices and Crumbton folk."));

    // On a correct word: no spelling entries.
    menu.reset(ui(form)->spelling->createContextMenu(pointOn(ui(form)->text1, "bake")));
    t = titles(menu.get());
    QVERIFY(!t.contains("Add to dictionary"));

    // "Add to dictionary": the mark goes, the word is in the owner's list and known to a
    // new window too.
    const int crumbton = int(ui(form)->text1->toPlainText().indexOf("Crumbton"));
    QVERIFY(ui(form)->spelling->highlighter()->isMarked(crumbton));
    menu.reset(ui(form)->spelling->createContextMenu(pointOn(ui(form)->text1, "Crumbton")));
    for (QAction* a : menu->actions())
        if (a->text() == "Add to dictionary")
            a->trigger();
    QVERIFY(!ui(form)->spelling->highlighter()->isMarked(crumbton));
    QVERIFY(PersonalWordList().contains("Crumbton"));

    form->command3_Click();
    QVERIFY(storedAnswer(folder, 2).contains("We bake for offices and Crumbton folk."));

    TestFolder other;
    auto second = loadForm(other);
    QVERIFY(ui(second)->spelling->load("en_US"));
    goToStep(*second, 2);
    QTest::keyClicks(ui(second)->text1, QStringLiteral("Crumbton"));
    QVERIFY(!ui(second)->spelling->highlighter()->isMarked(0));
}

void SpellCheckTest::checkingAndZoomNeverChangeTheStoredAnswer() {
    // A stored answer with misspelt words and sized text, exactly as another writer left it.
    const QByteArray rtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Verdana;}}\\f0\\fs20 Teh {\\fs36 "
                         "bakary} plan\\par}");
    TestFolder folder;
    QVERIFY(folder.exec(QStringLiteral("UPDATE Answers SET Answer = '%1' WHERE AnswerID = 2")
                            .arg(QString::fromLatin1(rtf))));
    auto form = loadForm(folder);
    QVERIFY(ui(form)->spelling->load("en_US"));
    goToStep(*form, 2);
    auto* box = static_cast<quill::rtf::RtfTextEdit*>(ui(form)->text1);
    QVERIFY(ui(form)->spelling->highlighter()->isMarked(0));
    ui(form)->zoom->setPercent(200);
    QCOMPARE(ui(form)->spelling->highlighter()->scale(), 2.0);
    QVERIFY(!box->document()->isModified());
    QCOMPARE(box->rtf(), rtf);
    // The zoom is drawn: the layout's sizes double, the document's stay.
    const QTextBlock block = box->document()->firstBlock();
    bool doubled = false;
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        doubled = doubled || qFuzzyCompare(r.format.fontPointSize(), 36.0);
    QVERIFY(doubled);
    QCOMPARE(block.begin().fragment().charFormat().fontPointSize(), 10.0);

    form->command3_Click();
    form->command4_Click();
    QCOMPARE(storedAnswer(folder, 2).toLatin1(), rtf);

    // An edit under zoom stores the stored sizes, not the drawn ones.
    QTextCursor end(box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral(" more"));
    form->command3_Click();
    const QString after = storedAnswer(folder, 2);
    QVERIFY(after.contains("\\fs36"));
    QVERIFY(!after.contains("\\fs72"));
    QVERIFY(!after.contains("\\ulwave"));
}

// A misspelt word in two type sizes, zoomed: every character is underlined and drawn at
// twice its own size.
void SpellCheckTest::markKeepsEachCharactersZoomedSize() {
    QTextEdit box;
    auto* spelling = new SpellCheck(&box);
    QVERIFY(spelling->load("en_US"));
    QTextCursor c(box.document());
    QTextCharFormat small, large;
    small.setFontPointSize(10);
    large.setFontPointSize(18);
    c.insertText(QStringLiteral("Fresh bak"), small);
    c.insertText(QStringLiteral("ary"), large);
    c.insertText(QStringLiteral(" bread"), small);
    spelling->highlighter()->setScale(2.0);

    const QTextBlock block = box.document()->firstBlock();
    const QString text = block.text();
    for (int i = 0; i < text.size(); ++i) {
        const bool inWord = i >= text.indexOf("bakary") && i < text.indexOf(" bread");
        QCOMPARE(spelling->highlighter()->isMarked(i), inWord);
        qreal drawn = 0;
        for (const QTextLayout::FormatRange& r : block.layout()->formats())
            if (i >= r.start && i < r.start + r.length)
                drawn = r.format.fontPointSize();
        QCOMPARE(drawn, i >= text.indexOf("ary") && i < text.indexOf(" bread") ? 36.0 : 20.0);
    }
}

void SpellCheckTest::zoomByKeysAndWheel() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 2);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    ui(form)->text1->setFocus();
    QCOMPARE(ui(form)->zoom->percent(), 100);
    QTest::keyClick(form->windowHandle(), Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(ui(form)->zoom->percent(), 110);
    QTest::keyClick(form->windowHandle(), Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(ui(form)->zoom->percent(), 120);
    QTest::keyClick(form->windowHandle(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(ui(form)->zoom->percent(), 110);
    QTest::keyClick(form->windowHandle(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(ui(form)->zoom->percent(), 100);

    // Ctrl+wheel over the box: one notch one step, small deltas add up; the box's own
    // font zoom never runs.
    const QFont before = ui(form)->text1->font();
    QWidget* viewport = ui(form)->text1->viewport();
    auto wheel = [&](int delta) {
        const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
        QWheelEvent e(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &e);
    };
    wheel(120);
    QCOMPARE(ui(form)->zoom->percent(), 110);
    wheel(60);
    QCOMPARE(ui(form)->zoom->percent(), 110);
    wheel(60);
    QCOMPARE(ui(form)->zoom->percent(), 120);
    wheel(-240);
    QCOMPARE(ui(form)->zoom->percent(), 100);
    QCOMPARE(ui(form)->text1->font(), before);
    for (int i = 0; i < 40; ++i)
        ui(form)->zoom->zoomIn();
    QCOMPARE(ui(form)->zoom->percent(), AnswerZoom::MaxPercent);
    for (int i = 0; i < 40; ++i)
        ui(form)->zoom->zoomOut();
    QCOMPARE(ui(form)->zoom->percent(), AnswerZoom::MinPercent);
}

void SpellCheckTest::wordCountInTheStatusLine() {
    TestFolder folder;
    auto form = loadForm(folder);
    StatusLine* line = ui(form)->statusLine;
    // Step 1 is an overview: no box, no count.
    QCOMPARE(line->countText(), QString());
    goToStep(*form, 2);
    QCOMPARE(line->text(), QStringLiteral("0 words"));
    QTest::keyClicks(ui(form)->text1, QStringLiteral("One"));
    QCOMPARE(line->text(), QStringLiteral("1 word"));
    QTest::keyClicks(ui(form)->text1, QStringLiteral(" well-known bakery."));
    QCOMPARE(line->words(), 3);
    ui(form)->zoom->setPercent(150);
    QCOMPARE(line->countText(), QStringLiteral("3 words    Zoom 150 %"));
    form->command3_Click();
    QCOMPARE(line->words(), 0);
    form->command4_Click();
    QCOMPARE(line->words(), 3);

    // A notice takes the line for a while, whole in the tooltip.
    line->showMessage(QStringLiteral("The word list could not be written."));
    QCOMPARE(line->toolTip(), QStringLiteral("The word list could not be written."));
    QVERIFY(line->text().startsWith(QStringLiteral("The word")));

    // It stays in the bottom row, right of Exit, however the window is sized, and covers
    // no designed control.
    for (const QSize size : {QSize(1024, 768), QSize(1400, 900), QSize(900, 700)}) {
        form->resize(size);
        QTRY_COMPARE(line->y(), ui(form)->cmdEnd->y());
        QCOMPARE(line->height(), ui(form)->cmdEnd->height());
        QVERIFY(line->x() > ui(form)->cmdEnd->geometry().right());
        QVERIFY(line->geometry().right() < line->parentWidget()->width());
        for (QWidget* w :
             form->centralWidget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (w != line && w->isVisible())
                QVERIFY2(!w->geometry().intersects(line->geometry()),
                         qPrintable(w->metaObject()->className()));
    }
    form->Command7_Click();
    QCOMPARE(line->countText(), QString());
}

QTEST_MAIN(SpellCheckTest)
#include "tst_spellcheck.moc"
