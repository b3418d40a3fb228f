#include "testform.h"

#include "boundlabel.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "testfolder.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>

std::unique_ptr<mainForm> loadForm(const TestFolder& folder) {
    auto form = std::make_unique<mainForm>(folder.path());
    if (!form->Form_Load())
        qFatal("load failed: %s", qPrintable(form->loadError()));
    form->show();
    if (!QTest::qWaitForWindowActive(form.get()))
        qFatal("the main window never became active");
    return form;
}

void goToStep(mainForm& form, int step) {
    form.Command7_Click();
    for (int i = 1; i < step; ++i)
        form.command3_Click();
}

void typeAnswer(mainForm& form, const QString& text) {
    QTextCursor c(ui(form)->text1->document());
    c.movePosition(QTextCursor::End);
    c.insertText(text);
}

QString storedAnswer(const TestFolder& folder, int row) {
    return folder.value(QStringLiteral("SELECT Answer FROM Answers WHERE AnswerID = %1").arg(row))
        .toString();
}

int shownStep(const mainForm& form) {
    return ui(form)->Label9->text().toInt();
}

void pressAtFocus(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, key, modifiers);
}

QList<bool> stepButtons(const mainForm& form) {
    return {ui(form)->command4->isEnabled(), ui(form)->Command7->isEnabled(),
            ui(form)->command3->isEnabled(), ui(form)->Command8->isEnabled()};
}

void typeInto(QTableView* grid, int row, int column, const QString& keys) {
    const QModelIndex index = grid->model()->index(row, column);
    QAbstractItemDelegate* cells = grid->itemDelegate();
    std::unique_ptr<QWidget> editor(
        cells->createEditor(grid->viewport(), QStyleOptionViewItem(), index));
    cells->setEditorData(editor.get(), index);
    if (auto* line = qobject_cast<QLineEdit*>(editor.get()))
        line->clear();
    QTest::keyClicks(editor.get(), keys);
    cells->setModelData(editor.get(), grid->model(), index);
}
