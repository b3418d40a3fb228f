// The figure grid as the owner uses it on the real tables: words above the columns, numbers
// in the locale's form and right-aligned, the live totals row, rows added and removed, and
// every column in sight on a 1600 x 1000 window.

#include "answerzoom.h"
#include "figuregrid.h"
#include "figuretablemodel.h"
#include "griddatacontrol.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "modalkeys.h"
#include "testfolder.h"
#include "testform.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QTableView>
#include <QtTest>

class FigureGridTest : public QObject {
    Q_OBJECT
private slots:
    void wordsNumbersAndTotals();
    void rowsAddedAndRemoved();
    void everyColumnInSight();
    void databaseWithoutCaptions();
    void menuCommandsByTheKeysTheyShow_data();
    void menuCommandsByTheKeysTheyShow();
    void keysWhileKeptFiguresWaitAskAgain();
};

void FigureGridTest::wordsNumbersAndTotals() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 42);
    QTableView* grid = ui(form)->DataGrid1;
    auto* figures = qobject_cast<FigureTableModel*>(grid->model());
    QVERIFY(figures);
    QSqlTableModel* table = ui(form)->Adodc3->model();
    const int product = table->record().indexOf(QStringLiteral("ProductOrService"));
    const int sales = table->record().indexOf(QStringLiteral("SalesAmount"));
    const int customers = table->record().indexOf(QStringLiteral("Customers"));
    QCOMPARE(figures->headerData(product, Qt::Horizontal).toString(),
             QStringLiteral("Product or service"));
    QCOMPARE(figures->headerData(sales, Qt::Horizontal).toString(), QStringLiteral("Sales amount"));
    // One row more than the table: the totals.
    QCOMPARE(figures->rowCount(), table->rowCount() + 1);
    const int totals = figures->rowCount() - 1;
    QCOMPARE(figures->index(totals, product).data().toString(), QStringLiteral("Total"));
    // Numbered like the table's rows, the totals are not.
    QCOMPARE(figures->headerData(totals - 1, Qt::Vertical).toString(), QString::number(totals));
    QCOMPARE(figures->headerData(totals, Qt::Vertical).toString(), QString());
    QCOMPARE(figures->index(totals, sales).data().toString(), QStringLiteral("0.00"));
    QVERIFY(!(figures->flags(figures->index(totals, sales)) & Qt::ItemIsEditable));

    typeInto(grid, 0, sales, QStringLiteral("12500.5"));
    typeInto(grid, 1, sales, QStringLiteral("250"));
    typeInto(grid, 0, customers, QStringLiteral("1200"));
    typeInto(grid, 0, product, QStringLiteral("Loaves"));
    // Stored as numbers, shown with separators, money with two decimals, to the right.
    QCOMPARE(folder.value("SELECT SalesAmount FROM projections WHERE ID = 1").toDouble(), 12500.5);
    QCOMPARE(figures->index(0, sales).data().toString(), QStringLiteral("12,500.50"));
    QCOMPARE(figures->index(1, sales).data().toString(), QStringLiteral("250.00"));
    QCOMPARE(figures->index(0, customers).data().toString(), QStringLiteral("1,200"));
    QCOMPARE(figures->index(0, sales).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                 Qt::AlignHorizontal_Mask,
             Qt::AlignRight);
    QCOMPARE(figures->index(0, product).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                 Qt::AlignHorizontal_Mask,
             Qt::AlignLeft);
    // The totals follow each edit.
    QCOMPARE(figures->index(totals, sales).data().toString(), QStringLiteral("12,750.50"));
    QCOMPARE(figures->index(totals, customers).data().toString(), QStringLiteral("1,200"));
    // The key column is neither totalled nor the label.
    QVERIFY(!figures->isNumberColumn(table->record().indexOf(QStringLiteral("ID"))));
}

void FigureGridTest::rowsAddedAndRemoved() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 66);
    GridDataControl* control = ui(form)->Adodc3;
    QString error;
    QVERIFY2(FigureGrid::addRow(control, &error), qPrintable(error));
    QCOMPARE(folder.value("SELECT count(*) FROM assets").toInt(), 13);
    QCOMPARE(control->model()->rowCount(), 13);
    QCOMPARE(ui(form)->DataGrid1->model()->rowCount(), 14);
    // The new row takes figures like the others.
    typeInto(ui(form)->DataGrid1, 12,
             control->model()->record().indexOf(QStringLiteral("OwnedCost")), QStringLiteral("99"));
    QCOMPARE(folder.value("SELECT OwnedCost FROM assets ORDER BY ID DESC LIMIT 1").toDouble(),
             99.0);
    QVERIFY2(FigureGrid::removeRow(control, 0, &error), qPrintable(error));
    QCOMPARE(folder.value("SELECT count(*) FROM assets").toInt(), 12);
    QCOMPARE(folder.value("SELECT min(ID) FROM assets").toInt(), 2);
    // Down to one row: the last is emptied, never removed.
    QVERIFY(folder.exec("DELETE FROM assets WHERE ID > 2"));
    QVERIFY(folder.exec("UPDATE assets SET AssetOwned = 'Oven', OwnedCost = 10 WHERE ID = 2"));
    QVERIFY(control->refresh(&error));
    QVERIFY2(FigureGrid::removeRow(control, 0, &error), qPrintable(error));
    QCOMPARE(folder.value("SELECT count(*) FROM assets").toInt(), 1);
    QVERIFY(folder.value("SELECT AssetOwned IS NULL AND OwnedCost IS NULL FROM assets").toBool());
}

void FigureGridTest::everyColumnInSight() {
    TestFolder folder;
    auto form = loadForm(folder);
    form->resize(1600, 1000);
    QCoreApplication::processEvents();
    for (int step : {42, 66, 67}) {
        goToStep(*form, step);
        QCoreApplication::processEvents();
        QTableView* grid = ui(form)->DataGrid1;
        QHeaderView* header = grid->horizontalHeader();
        int used = 0;
        for (int c = 0; c < header->count(); ++c) {
            if (grid->isColumnHidden(c))
                continue;
            used += header->sectionSize(c);
            // Each heading's longest word fits its column.
            int longest = 0;
            for (const QString& word :
                 grid->model()->headerData(c, Qt::Horizontal).toString().split(u' '))
                longest = std::max(longest, header->fontMetrics().horizontalAdvance(word));
            QVERIFY2(header->sectionSize(c) >= longest, qPrintable(QString::number(step)));
        }
        QVERIFY2(used <= grid->viewport()->width(), qPrintable(QString::number(step)));
        QVERIFY(!grid->horizontalScrollBar()->isVisible());
        // QUILL_KEEP_SCREENS names a folder for a look at the window.
        if (const QString keep = qEnvironmentVariable("QUILL_KEEP_SCREENS"); !keep.isEmpty())
            form->grab().save(QStringLiteral("%1/grid%2.png").arg(keep).arg(step));
    }
}

void FigureGridTest::databaseWithoutCaptions() {
    TestFolder folder;
    QVERIFY(folder.exec("DROP TABLE GridColumns"));
    auto form = loadForm(folder);
    goToStep(*form, 67);
    QSqlTableModel* table = ui(form)->Adodc3->model();
    const int stock = table->record().indexOf(QStringLiteral("StockCost"));
    QCOMPARE(ui(form)->DataGrid1->model()->headerData(stock, Qt::Horizontal).toString(),
             QStringLiteral("StockCost"));
}

void FigureGridTest::menuCommandsByTheKeysTheyShow_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("textColumn");
    QTest::newRow("42 projections") << 42 << "projections"
                                    << "ProductOrService";
    QTest::newRow("66 assets") << 66 << "assets"
                               << "AssetOwned";
    QTest::newRow("67 raw materials") << 67 << "rawmaterials"
                                      << "MaterialInStock";
}

// The grid's menu commands by the keys the menu shows, pressed in the grid as the owner
// would: the key column stays out of sight and out of reach, a row with figures goes only
// on the owner's word, and the answer box's zoom keys do not get in the way.
void FigureGridTest::menuCommandsByTheKeysTheyShow() {
    QFETCH(int, step);
    QFETCH(QString, table);
    QFETCH(QString, textColumn);
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, step);
    QTableView* grid = ui(form)->DataGrid1;
    QVERIFY(grid->isVisible());
    const QSqlRecord fields = ui(form)->Adodc3->model()->record();
    const int id = fields.indexOf(QStringLiteral("ID"));
    const int text = fields.indexOf(textColumn);
    const auto rows = [&] {
        return folder.value(QStringLiteral("SELECT count(*) FROM %1").arg(table)).toInt();
    };
    const auto keyOutOfReach = [&] {
        QVERIFY(grid->isColumnHidden(id));
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            QVERIFY(!(grid->model()->index(r, id).flags() & Qt::ItemIsEditable));
    };
    keyOutOfReach();

    // The menu's keys, as it shows them.
    QMap<QString, QKeySequence> shown;
    for (QAction* a : grid->actions())
        shown.insert(a->text().remove(u'&'), a->shortcut());
    QCOMPARE(shown.value("Add row"), QKeySequence(Qt::CTRL | Qt::Key_Plus));
    QCOMPARE(shown.value("Remove row"), QKeySequence(Qt::CTRL | Qt::Key_Minus));
    const auto press = [](const QKeySequence& key) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY2(focus, qPrintable(key.toString()));
        QTest::keyClick(focus, key[0].key(), key[0].keyboardModifiers());
    };

    // Into the grid with the mouse; Ctrl++ adds a row, and the key stays hidden.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(0, text)).center());
    QTRY_COMPARE(QApplication::focusWidget(), grid);
    const int before = rows();
    const int zoom = ui(form)->zoom->percent();
    press(shown.value("Add row"));
    QCOMPARE(rows(), before + 1);
    QCOMPARE(ui(form)->zoom->percent(), zoom);
    keyOutOfReach();

    // The cursor stands in the new row, in sight: its figures are typed straight away.
    const int added = before; // the row above the totals
    QCOMPARE(grid->currentIndex().row(), added);
    QVERIFY(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())));
    QCOMPARE(grid->currentIndex().column(), text);
    QTest::keyClick(grid, Qt::Key_F2);
    QTRY_VERIFY(QApplication::focusWidget() != grid);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Oven"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(
        folder
            .value(
                QStringLiteral("SELECT %1 FROM %2 ORDER BY ID DESC LIMIT 1").arg(textColumn, table))
            .toString(),
        QStringLiteral("Oven"));
    QTRY_COMPARE(QApplication::focusWidget(), grid);

    // Ctrl+- on it asks first; Enter (No) keeps it, Y removes it.
    grid->setCurrentIndex(grid->model()->index(added, text));
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Return)});
        press(shown.value("Remove row"));
        QCOMPARE(keys.texts.size(), 1);
        QVERIFY2(keys.texts[0].contains(QStringLiteral("Oven")), qPrintable(keys.texts[0]));
        QCOMPARE(keys.defaults[0], QStringLiteral("No"));
    }
    QCOMPARE(rows(), before + 1);
    QTRY_COMPARE(QApplication::focusWidget(), grid); // back where it was
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Y)});
        press(shown.value("Remove row"));
        QCOMPARE(keys.texts.size(), 1);
    }
    QCOMPARE(rows(), before);
    keyOutOfReach();
    QTRY_COMPARE(QApplication::focusWidget(), grid);
    QCOMPARE(grid->currentIndex().row(), added - 1); // the cursor stays at the bottom row

    // An empty row goes without a question.
    press(shown.value("Add row"));
    QCOMPARE(grid->currentIndex().row(), before);
    {
        ModalKeys keys({});
        press(shown.value("Remove row"));
        QCOMPARE(keys.texts, QStringList());
    }
    QCOMPARE(rows(), before);
    keyOutOfReach();
}

// Figures kept unstored after a refusal hold the table's other cells (one unstored change at
// a time): a key that would edit one asks again rather than vanishing.
void FigureGridTest::keysWhileKeptFiguresWaitAskAgain() {
    TestFolder folder;
    auto form = loadForm(folder);
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    goToStep(*form, 42);
    QTableView* grid = ui(form)->DataGrid1;
    const auto* figures = qobject_cast<FigureTableModel*>(grid->model());
    const int label = figures->labelColumn();
    const auto product = [&](int id) {
        return folder.value(QStringLiteral("SELECT ProductOrService FROM projections WHERE ID = %1")
                                .arg(id))
            .toString();
    };
    const auto typeAt = [&](int row, const QString& text) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(figures->index(row, label)).center());
        QTRY_COMPARE(QApplication::focusWidget(), grid);
        QTest::keyClicks(grid, text.left(1)); // the first key opens the cell's editor
        QTRY_VERIFY(QApplication::focusWidget() != grid);
        QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    };
    // Another program changes the first row; ours is refused and kept (Enter).
    QVERIFY(folder.exec("UPDATE projections SET ProductOrService = 'Bread' WHERE ID = 1"));
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Return)});
        typeAt(0, QStringLiteral("Cakes"));
        QTRY_COMPARE(keys.texts.size(), 1);
    }
    QTRY_COMPARE(QApplication::focusWidget(), grid);
    // The row changes once more. A key in another row asks again, once, with the row as
    // stored now; Replace (Alt+R) stores the kept figures and the key goes on to its cell.
    QVERIFY(folder.exec("UPDATE projections SET ProductOrService = 'Rolls' WHERE ID = 1"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(figures->index(1, label)).center());
    {
        ModalKeys keys({QKeyCombination(Qt::AltModifier, Qt::Key_R)});
        QTest::keyClick(grid, 'P');
        QTRY_COMPARE(product(1), QStringLiteral("Cakes"));
        // The cell's editor, holding the key.
        QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget() != grid);
        QCOMPARE(keys.texts.size(), 1);
        QVERIFY2(keys.texts[0].contains(QStringLiteral("Rolls")), qPrintable(keys.texts[0]));
    }
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ies"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(product(2), QStringLiteral("Pies"));
}

QTEST_MAIN(FigureGridTest)
#include "tst_figuregrid.moc"
