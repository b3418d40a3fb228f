// The keyboard as a writer uses it, every key sent to the widget that has the focus: the
// editing keys act on the text in the answer box and never move the step; the first and
// last step have keys of their own.

#include "boundlabel.h"
#include "formatkeys.h"
#include "frmhelp.h"
#include "gomenu.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "modalkeys.h"
#include "reportdocument.h"
#include "reportengine.h"
#include "reportpreview.h"
#include "testfolder.h"
#include "testform.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeySequence>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextList>
#include <QtTest>

namespace {

QWidget* focused() {
    return QApplication::focusWidget();
}

// Sends a key combination to the widget that has the focus, as the keyboard does.
void press(QKeyCombination key) {
    pressAtFocus(key.key(), key.keyboardModifiers());
}

// Types text at the focus; "\n" is the Return key.
void type(const QString& text) {
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            press(QKeyCombination(Qt::Key_Return));
        QWidget* target = focused();
        QVERIFY(target);
        QTest::keyClicks(target, lines[i]);
    }
}

using Keys = QList<QKeyCombination>;

} // namespace

Q_DECLARE_METATYPE(Keys)

class KeysTest : public QObject {
    Q_OBJECT

private slots:
    void altWithAFreeLetterTypesNothing();
    void editingKeysActOnTheText_data();
    void editingKeysActOnTheText();
    void firstAndLastStepKeysWhereverTheFocusIs();
    void typingGoesOnAfterAnotherWindow_data();
    void typingGoesOnAfterAnotherWindow();
    void writingKeysStoredRestartedAndReported();
    void everyReachableControlIsNamed();
};

void KeysTest::altWithAFreeLetterTypesNothing() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 2);
    QTRY_COMPARE(focused(), ui(form)->text1);
    // Alt with letters no menu claims; AltGr (no Alt reported) and plain keys still type.
    type(QStringLiteral("ab"));
    for (Qt::Key k : {Qt::Key_Q, Qt::Key_J, Qt::Key_Z})
        press(QKeyCombination(Qt::AltModifier, k));
    QTest::keyClick(focused(), '@', Qt::GroupSwitchModifier);
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("ab@"));
    // A mnemonic still acts: Alt+N moves on.
    press(QKeyCombination(Qt::AltModifier, Qt::Key_N));
    QTRY_COMPARE(shownStep(*form), 3);

    // The same in a cell editor of the figure grid.
    goToStep(*form, 42);
    QTableView* grid = ui(form)->DataGrid1;
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 1));
    QTRY_COMPARE(focused(), grid);
    press(QKeyCombination(Qt::Key_F2));
    QTRY_VERIFY(focused() != grid);
    type(QStringLiteral("x"));
    press(QKeyCombination(Qt::AltModifier, Qt::Key_Q));
    press(QKeyCombination(Qt::Key_Return));
    QTRY_COMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("x"));
}

void KeysTest::editingKeysActOnTheText_data() {
    QTest::addColumn<Keys>("keys");
    const auto ctrl = [](Qt::Key k) { return QKeyCombination(Qt::ControlModifier, k); };
    const auto shift = [](Qt::Key k) { return QKeyCombination(Qt::ShiftModifier, k); };
    const auto ctrlShift = [](Qt::Key k) {
        return QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, k);
    };
    QTest::newRow("Ctrl+End") << Keys{ctrl(Qt::Key_Home), ctrl(Qt::Key_End)};
    QTest::newRow("Ctrl+Home") << Keys{ctrl(Qt::Key_Home)};
    QTest::newRow("Home, End") << Keys{Qt::Key_Home, Qt::Key_Up, Qt::Key_End};
    QTest::newRow("Ctrl+arrows") << Keys{ctrl(Qt::Key_Left), ctrl(Qt::Key_Left),
                                         ctrl(Qt::Key_Right), ctrl(Qt::Key_Up), ctrl(Qt::Key_Down)};
    QTest::newRow("Page Up, Page Down") << Keys{Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_PageUp};
    QTest::newRow("Shift+Home") << Keys{shift(Qt::Key_Home)};
    QTest::newRow("Shift+Ctrl+Home") << Keys{ctrlShift(Qt::Key_Home)};
    QTest::newRow("Shift+Ctrl+End") << Keys{ctrl(Qt::Key_Home), ctrlShift(Qt::Key_End)};
    QTest::newRow("Shift+Ctrl+Left") << Keys{ctrlShift(Qt::Key_Left), ctrlShift(Qt::Key_Left)};
    QTest::newRow("Shift+Page Up") << Keys{shift(Qt::Key_PageUp)};
    QTest::newRow("Ctrl+A") << Keys{ctrl(Qt::Key_A)};
    QTest::newRow("Ctrl+C, Ctrl+V")
        << Keys{ctrlShift(Qt::Key_Left), ctrl(Qt::Key_C), ctrl(Qt::Key_Home), ctrl(Qt::Key_V)};
    QTest::newRow("Ctrl+X, Ctrl+V")
        << Keys{ctrlShift(Qt::Key_Left), ctrl(Qt::Key_X), ctrl(Qt::Key_Home), ctrl(Qt::Key_V)};
    QTest::newRow("Ctrl+Z, Ctrl+Y") << Keys{ctrl(Qt::Key_Z), ctrl(Qt::Key_Z), ctrl(Qt::Key_Y)};
}

// At step 3 the owner types, presses editing keys and types again: the answer box does what
// a plain text box does with the same keys, and all of it is stored in row 3.
void KeysTest::editingKeysActOnTheText() {
    QFETCH(Keys, keys);
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 3);
    QTRY_COMPARE(focused(), ui(form)->text1);

    // The same keys into a plain box of the same size give what the writer expects.
    QTextEdit plain;
    plain.resize(ui(form)->text1->size());
    plain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plain));
    QTest::keyClicks(&plain, QStringLiteral("alpha beta"));
    QTest::keyClick(&plain, Qt::Key_Return);
    QTest::keyClicks(&plain, QStringLiteral("gamma delta"));
    for (QKeyCombination key : keys)
        QTest::keyClick(&plain, key.key(), key.keyboardModifiers());
    QTest::keyClicks(&plain, QStringLiteral(" more"));
    plain.hide();
    form->activateWindow();
    QTRY_COMPARE(focused(), ui(form)->text1);

    type(QStringLiteral("alpha beta\ngamma delta"));
    for (QKeyCombination key : keys)
        press(key);
    type(QStringLiteral(" more"));

    QCOMPARE(shownStep(*form), 3);
    QCOMPARE(ui(form)->text1->toPlainText(), plain.toPlainText());
    QCOMPARE(ui(form)->text1->textCursor().position(), plain.textCursor().position());
    const QString expected = ui(form)->text1->toPlainText();

    // Stored in row 3, and nowhere else.
    press(QKeyCombination(Qt::AltModifier, Qt::Key_N));
    QTRY_COMPARE(shownStep(*form), 4);
    form->Command7_Click();
    goToStep(*form, 3);
    QCOMPARE(ui(form)->text1->toPlainText(), expected);
    QCOMPARE(folder
                 .value(QStringLiteral("SELECT group_concat(AnswerID) FROM Answers WHERE "
                                       "Answer IS NOT NULL AND Answer <> ''"))
                 .toString(),
             QStringLiteral("3"));
}

void KeysTest::firstAndLastStepKeysWhereverTheFocusIs() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 4);
    QTRY_COMPARE(focused(), ui(form)->text1);

    // The Go menu shows the keys, and they are not the box's.
    QCOMPARE(ui(form)->goMenu->firstStep()->shortcut(), QKeySequence(GoMenu::FirstStepKey));
    QCOMPARE(ui(form)->goMenu->lastStep()->shortcut(), QKeySequence(GoMenu::LastStepKey));
    for (QKeySequence::StandardKey k :
         {QKeySequence::MoveToStartOfDocument, QKeySequence::MoveToEndOfDocument,
          QKeySequence::MoveToStartOfLine, QKeySequence::MoveToEndOfLine}) {
        for (const QKeySequence& used : QKeySequence::keyBindings(k)) {
            QVERIFY(used != ui(form)->goMenu->firstStep()->shortcut());
            QVERIFY(used != ui(form)->goMenu->lastStep()->shortcut());
        }
    }

    // From the answer box: the last step, the answer stored.
    type(QStringLiteral("four"));
    press(GoMenu::LastStepKey);
    QCOMPARE(shownStep(*form), 93);
    QCOMPARE(stepButtons(*form), (QList<bool>{true, true, false, false}));
    QVERIFY(storedAnswer(folder, 4).contains("four"));
    QCOMPARE(focused(), ui(form)->text1);

    type(QStringLiteral("ninety-three"));
    press(GoMenu::FirstStepKey);
    QCOMPARE(shownStep(*form), 1);
    QCOMPARE(stepButtons(*form), (QList<bool>{false, false, true, true}));
    QVERIFY(storedAnswer(folder, 93).contains("ninety-three"));

    // On an overview the focus is on Next; the keys work there too, and a disabled Last
    // does nothing, as the button.
    QCOMPARE(focused(), ui(form)->command3);
    press(GoMenu::LastStepKey);
    QCOMPARE(shownStep(*form), 93);
    press(GoMenu::LastStepKey);
    QCOMPARE(shownStep(*form), 93);
}

enum class Away { About, HelpClosed, HelpLeft, Preview, PreviewEscape, MessageBox, GoMenu };
Q_DECLARE_METATYPE(Away)

void KeysTest::typingGoesOnAfterAnotherWindow_data() {
    QTest::addColumn<Away>("away");
    QTest::newRow("About (F9), Escape") << Away::About;
    QTest::newRow("help (F1), closed") << Away::HelpClosed;
    QTest::newRow("help (F1), back to the main window") << Away::HelpLeft;
    QTest::newRow("report preview (Alt+R), closed") << Away::Preview;
    QTest::newRow("report preview (Alt+R), Escape") << Away::PreviewEscape;
    QTest::newRow("message box, Enter") << Away::MessageBox;
    QTest::newRow("Go menu (Alt+G), Escape") << Away::GoMenu;
}

// The owner types at step 2, goes to another window and comes back: the next keys land in
// the answer box, with no click.
void KeysTest::typingGoesOnAfterAnotherWindow() {
    QFETCH(Away, away);
    TestFolder folder;
    QVERIFY(QFile::copy(QStringLiteral(QUILLMARK_SOURCE_DIR "/data/DraftBusinessReport.rpt"),
                        folder.path() + QStringLiteral("/DraftBusinessReport.rpt")));
    if (away == Away::MessageBox)
        QVERIFY(folder.refuseAnswerUpdates());
    auto form = loadForm(folder);
    goToStep(*form, 2);
    QTRY_COMPARE(focused(), ui(form)->text1);
    type(QStringLiteral("before"));

    switch (away) {
    case Away::About: {
        ModalKeys keys({QKeyCombination(Qt::Key_Escape)});
        press(QKeyCombination(Qt::Key_F9));
        QCOMPARE(keys.titles, QStringList{QStringLiteral("About Quillmark")});
        break;
    }
    case Away::HelpClosed:
    case Away::HelpLeft: {
        press(QKeyCombination(Qt::Key_F1));
        frmHelp* help = form->findChild<frmHelp*>();
        QVERIFY(help);
        QTRY_VERIFY(help->isActiveWindow());
        if (away == Away::HelpClosed)
            help->close(); // its close box
        else
            form->activateWindow(); // a click on the main window's title
        break;
    }
    case Away::Preview:
    case Away::PreviewEscape: {
        ModalKeys keys({});
        press(QKeyCombination(Qt::AltModifier, Qt::Key_R));
        QTRY_VERIFY(QApplication::activeWindow() &&
                    qobject_cast<ReportPreview*>(QApplication::activeWindow()));
        QCOMPARE(keys.texts, QStringList());
        if (away == Away::Preview)
            QApplication::activeWindow()->close(); // its close box
        else
            press(QKeyCombination(Qt::Key_Escape));
        break;
    }
    case Away::MessageBox: {
        ModalKeys keys({QKeyCombination(Qt::Key_Return)});
        press(QKeyCombination(Qt::AltModifier, Qt::Key_N));
        QTRY_COMPARE(keys.texts.size(), 1);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(shownStep(*form), 2);
        break;
    }
    case Away::GoMenu:
        press(QKeyCombination(Qt::AltModifier, Qt::Key_G));
        QTRY_VERIFY(ui(form)->goMenu->menu()->isVisible());
        QTest::keyClick(ui(form)->goMenu->menu(), Qt::Key_Escape);
        QTRY_VERIFY(!ui(form)->goMenu->menu()->isVisible());
        press(QKeyCombination(Qt::Key_Escape)); // leaves the menu bar
        break;
    }

    QTRY_VERIFY(form->isActiveWindow());
    QTRY_COMPARE_WITH_TIMEOUT(focused(), ui(form)->text1, 2000);
    type(QStringLiteral(" after"));
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("before after"));
}

namespace {

// The format of the text fragment that holds `word`, and its paragraph.
struct Found {
    QTextCharFormat chars;
    QTextBlock block;
};
Found find(QTextDocument* doc, const QString& word) {
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().text().contains(word))
                return {it.fragment().charFormat(), b};
    return {};
}

// What the writing keys made, as the box shows it after a restart and as the report
// prints it.
void checkWriting(QTextDocument* doc, bool levels) {
    struct Expect {
        const char* word;
        bool bold, italic, underline;
        int list; // 0 none, 1 bullets, 2 numbers
        int level;
    };
    const Expect expected[] = {
        {"loudly", true, false, false, 0, 0},  {"softly", false, true, false, 0, 0},
        {"lined", false, false, true, 0, 0},   {"plainly", false, false, false, 0, 0},
        {"apples", false, false, false, 1, 1}, {"pears", false, false, false, 1, 2},
        {"plums", false, false, false, 1, 1},  {"uno", false, false, false, 2, 1},
        {"dos", false, false, false, 2, 1},    {"cleared", false, false, false, 0, 0},
    };
    for (const Expect& e : expected) {
        const Found f = find(doc, QString::fromLatin1(e.word));
        QVERIFY2(f.block.isValid(), e.word);
        QVERIFY2((f.chars.fontWeight() >= QFont::Bold) == e.bold, e.word);
        // As it is seen: the fragment's own format over the document's default font.
        const QFont shown = f.chars.font().resolve(doc->defaultFont());
        QVERIFY2(shown.italic() == e.italic, e.word);
        QVERIFY2(shown.bold() == e.bold, e.word);
        QVERIFY2(f.chars.fontUnderline() == e.underline, e.word);
        const QTextList* list = f.block.textList();
        QVERIFY2(bool(list) == (e.list != 0), e.word);
        if (!list)
            continue;
        const QTextListFormat::Style style = list->format().style();
        const bool numbered = style == QTextListFormat::ListDecimal ||
                              style == QTextListFormat::ListLowerAlpha ||
                              style == QTextListFormat::ListLowerRoman;
        QVERIFY2(numbered == (e.list == 2), e.word);
        if (levels)
            QVERIFY2(list->format().indent() == e.level, e.word);
    }
}

} // namespace

void KeysTest::writingKeysStoredRestartedAndReported() {
    TestFolder folder;
    const auto ctrl = [](Qt::Key k) { return QKeyCombination(Qt::ControlModifier, k); };
    const auto ctrlShift = [](Qt::Key k) {
        return QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, k);
    };
    {
        auto form = loadForm(folder);
        goToStep(*form, 2);
        QTRY_COMPARE(focused(), ui(form)->text1);
        // Each key, then the words typed after it.
        const QList<std::pair<QList<QKeyCombination>, QString>> writing = {
            {{ctrl(Qt::Key_B)}, "loudly"},
            {{ctrl(Qt::Key_B), ctrl(Qt::Key_I)}, " softly"},
            {{ctrl(Qt::Key_I), ctrl(Qt::Key_U)}, " lined"},
            {{ctrl(Qt::Key_U)}, " plainly\n"},
            {{ctrlShift(Qt::Key_L)}, "apples\n"},
            {{ctrl(Qt::Key_M)}, "pears\n"},
            {{ctrlShift(Qt::Key_M)}, "plums\n"},
            {{ctrlShift(Qt::Key_L), ctrlShift(Qt::Key_N)}, "uno\ndos\n"},
            {{ctrlShift(Qt::Key_N), ctrl(Qt::Key_B), ctrl(Qt::Key_U)}, "cleared"},
            {{ctrlShift(Qt::Key_Left), ctrl(Qt::Key_Backslash), Qt::Key_End}, ""},
        };
        for (const auto& [keys, words] : writing) {
            for (QKeyCombination k : keys)
                press(k);
            type(words);
        }
        checkWriting(ui(form)->text1->document(), true);
        // The commands are in the box's context menu, under "Format".
        QMenu menu;
        ui(form)->formatKeys->addMenuTo(&menu);
        QMenu* format = menu.actions().last()->menu();
        QVERIFY(format);
        QCOMPARE(menu.actions().last()->text(), QStringLiteral("&Format"));
        QVERIFY(format->actions().contains(ui(form)->formatKeys->bold()));
        QVERIFY(format->actions().contains(ui(form)->formatKeys->clearFormatting()));
        press(QKeyCombination(Qt::AltModifier, Qt::Key_N));
        QTRY_COMPARE(shownStep(*form), 3);
    }
    QVERIFY(storedAnswer(folder, 2).startsWith(QStringLiteral("{\\rtf")));

    // Started again, the box shows the same.
    {
        auto form = loadForm(folder);
        goToStep(*form, 2);
        checkWriting(ui(form)->text1->document(), true);
    }

    // The report prints it so.
    ReportEngine engine;
    engine.setDataFile(0, folder.databasePath());
    engine.setReportFileName(QStringLiteral(QUILLMARK_SOURCE_DIR "/data/DraftBusinessReport.rpt"));
    for (int16_t i = 0; i < engine.subreportCount(); ++i) {
        engine.setSubreportToChange(engine.subreportName(i));
        engine.setDataFile(0, folder.databasePath());
    }
    const std::unique_ptr<ReportDocument> report = engine.render();
    checkWriting(report->textDocument(), false);
}

void KeysTest::everyReachableControlIsNamed() {
    TestFolder folder;
    auto form = loadForm(folder);
    for (int at : {12, 42}) {
        goToStep(*form, at);
        QTRY_COMPARE(focused(), ui(form)->text1);
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(ui(form)->text1);
        QCOMPARE(box->text(QAccessible::Name), QStringLiteral("Answer to step %1 of 93").arg(at));
        QCOMPARE(box->text(QAccessible::Description), ui(form)->quest->text());

        // Every control that the Tab key reaches says what it is. (The answer box keeps Tab
        // for the text; the walk starts on the button after it.)
        ui(form)->Command7->setFocus(Qt::TabFocusReason);
        QSet<QWidget*> reached;
        for (int i = 0; i < 30 && !reached.contains(focused()); ++i) {
            QWidget* w = focused();
            reached.insert(w);
            const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty() && !name.contains(u'&'),
                     qPrintable(w->metaObject()->className()));
            // A table keeps Tab for its cells: Ctrl+Tab leaves it.
            press(qobject_cast<QTableView*>(w) ? QKeyCombination(Qt::ControlModifier, Qt::Key_Tab)
                                               : QKeyCombination(Qt::Key_Tab));
        }
        QStringList walk;
        for (QWidget* w : reached)
            walk << QString::fromLatin1(w->metaObject()->className()) + u':' + w->objectName() +
                        u':' + w->accessibleName();
        QVERIFY2(reached.contains(ui(form)->text1), qPrintable(walk.join(u' ')));
        QCOMPARE(reached.size(), at == 42 ? 9 : 8);
    }
    // The menus are named by their titles, the Go menu by a mnemonic of its own.
    QCOMPARE(ui(form)->goMenu->menu()->title(), QStringLiteral("&Go"));
}

QTEST_MAIN(KeysTest)
#include "tst_keys.moc"
