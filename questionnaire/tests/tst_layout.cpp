// The step layout and the resize rules: overview and question layouts, the special steps
// with their illustrations and the figure grid, and the resize figures.

#include "boundlabel.h"
#include "griddatacontrol.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "messageboxwatcher.h"
#include "testfolder.h"
#include "testform.h"
#include "twips.h"

#include <QAbstractItemDelegate>
#include <QLabel>
#include <QPushButton>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QTableView>
#include <QTextEdit>
#include <QtTest>

namespace {

// Resizes the window so that its outer size is the given twips, and runs the resize.
void resizeOuter(mainForm& form, int widthTwips, int heightTwips) {
    const QSize frame = form.frameGeometry().size() - form.size();
    form.resize(Twips::toPixelsX(widthTwips) - frame.width(),
                Twips::toPixelsY(heightTwips) - frame.height());
    QCoreApplication::processEvents();
}

// Every designed control's twips place, to compare layouts.
QList<QRect> layoutOf(const mainForm& f) {
    QList<QRect> rects;
    for (const QWidget* w : std::initializer_list<const QWidget*>{
             ui(f)->quest, ui(f)->text1, ui(f)->DataGrid1, ui(f)->Image3, ui(f)->Image4,
             ui(f)->Image5, ui(f)->Image6, ui(f)->Label10, ui(f)->Line1, ui(f)->Label5,
             ui(f)->Label6, ui(f)->Label7, ui(f)->Command7, ui(f)->command4, ui(f)->command3,
             ui(f)->Command8, ui(f)->cmdReport, ui(f)->cmdEnd})
        rects << ui(f)->placement.twips(w);
    return rects;
}

QList<bool> shown(const mainForm& f) {
    return {ui(f)->text1->isVisible(),  ui(f)->DataGrid1->isVisible(), ui(f)->Image3->isVisible(),
            ui(f)->Image4->isVisible(), ui(f)->Image5->isVisible(),    ui(f)->Image6->isVisible()};
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void resizeFiguresAtDesignHeight();
    void specialSteps_data();
    void specialSteps();
    void gridHidesOnNextStep();
    void gridWritesFiguresThatSurviveRestart();
    void resizeWhileGridShowsRereadsTable();
    void resizeKeepsOverviewAndIllustration();
    void minimiseAndRestoreKeepLayout();
    void tinyWindowSkipsImpossibleSizesSilently();
    void illustrationsStayWholeBesideTheTitle_data();
    void illustrationsStayWholeBesideTheTitle();
};

void LayoutTest::resizeFiguresAtDesignHeight() {
    TestFolder folder;
    auto form = loadForm(folder);
    resizeOuter(*form, 16200, 11520);
    QCOMPARE(form->outerHeightTwips(), 11520);
    QVERIFY(!ui(form)->text1->isVisible()); // step 1, an overview: the question takes the height
    QCOMPARE(ui(form)->placement.height(ui(form)->quest), 11520 - 3000);
    form->command3_Click();
    QVERIFY(ui(form)->text1->isVisible());
    for (QWidget* w : {ui(form)->cmdEnd, ui(form)->command4, ui(form)->command3,
                       ui(form)->cmdReport, ui(form)->Command7, ui(form)->Command8})
        QCOMPARE(ui(form)->placement.top(w), 10020);
    for (QWidget* w :
         {static_cast<QWidget*>(ui(form)->Label5), static_cast<QWidget*>(ui(form)->Label6),
          static_cast<QWidget*>(ui(form)->Label7)})
        QCOMPARE(ui(form)->placement.top(w), 10020);
    QCOMPARE(ui(form)->placement.top(ui(form)->Label10), 9820);
    QCOMPARE(ui(form)->placement.top(ui(form)->Line1), 9720);
    QCOMPARE(ui(form)->placement.height(ui(form)->quest), 4260);
    QCOMPARE(ui(form)->placement.top(ui(form)->text1), 5560);
    QCOMPARE(ui(form)->placement.height(ui(form)->text1), 2880);
    QCOMPARE(ui(form)->placement.width(ui(form)->quest), form->outerWidthTwips() - 2500);
    // Lefts and the fixed column never move.
    QCOMPARE(ui(form)->placement.left(ui(form)->command3), 6840);
    QCOMPARE(ui(form)->placement.twips(ui(form)->cmdHelp), QRect(360, 1560, 1095, 495));
}

void LayoutTest::specialSteps_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("table"); // empty: an illustration
    QTest::addColumn<bool>("halfAnswer");
    QTest::newRow("39 segmentation") << 39 << "" << false;
    QTest::newRow("42 projections") << 42 << "projections" << false;
    QTest::newRow("66 assets") << 66 << "assets" << false;
    QTest::newRow("67 raw materials") << 67 << "rawmaterials" << false;
    QTest::newRow("89 profit and loss") << 89 << "" << true;
    QTest::newRow("90 cash flow") << 90 << "" << true;
    QTest::newRow("91 balance sheet") << 91 << "" << true;
}

void LayoutTest::specialSteps() {
    QFETCH(int, step);
    QFETCH(QString, table);
    QFETCH(bool, halfAnswer);
    TestFolder folder;
    auto form = loadForm(folder);
    resizeOuter(*form, 18000, 12000);
    goToStep(*form, step);
    QCOMPARE(ui(form)->Label9->text(), QString::number(step));

    const int full = 18000 - 2500;
    QCOMPARE(ui(form)->placement.width(ui(form)->quest), full / 2);
    QCOMPARE(ui(form)->placement.width(ui(form)->text1), halfAnswer ? full / 2 : full);
    const int rightEdge = ui(form)->placement.left(ui(form)->quest) + full / 2 + 30;

    const QMap<int, QWidget*> pictures{{39, ui(form)->Image3},
                                       {89, ui(form)->Image6},
                                       {90, ui(form)->Image5},
                                       {91, ui(form)->Image4}};
    QWidget* beside = table.isEmpty() ? pictures.value(step) : ui(form)->DataGrid1;
    QVERIFY(beside->isVisible());
    QCOMPARE(ui(form)->placement.left(beside), rightEdge);
    int visible = 0;
    for (QWidget* w :
         {static_cast<QWidget*>(ui(form)->Image3), static_cast<QWidget*>(ui(form)->Image4),
          static_cast<QWidget*>(ui(form)->Image5), static_cast<QWidget*>(ui(form)->Image6),
          static_cast<QWidget*>(ui(form)->DataGrid1), static_cast<QWidget*>(ui(form)->fig42),
          static_cast<QWidget*>(ui(form)->fig66), static_cast<QWidget*>(ui(form)->fig67)})
        visible += w->isVisible();
    QCOMPARE(visible, 1);
    if (!table.isEmpty()) {
        QCOMPARE(ui(form)->Adodc3->recordSource(), table);
        QCOMPARE(ui(form)->Adodc3->model()->tableName(), table);
        QVERIFY(ui(form)->Adodc3->model()->rowCount() > 0);
    } else {
        auto* label = qobject_cast<QLabel*>(beside);
        QVERIFY(!label->pixmap().isNull());
        QCOMPARE(label->pixmap().size(), label->property("quillmarkPictureSize").toSize());
    }
}

void LayoutTest::gridHidesOnNextStep() {
    TestFolder folder;
    auto form = loadForm(folder);
    resizeOuter(*form, 18000, 12000);
    goToStep(*form, 42);
    QVERIFY(ui(form)->DataGrid1->isVisible());
    form->command3_Click();
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("43"));
    QVERIFY(!ui(form)->DataGrid1->isVisible());
    QCOMPARE(ui(form)->placement.width(ui(form)->quest), 18000 - 2500);
    QCOMPARE(ui(form)->placement.width(ui(form)->text1), 18000 - 2500);
}

void LayoutTest::gridWritesFiguresThatSurviveRestart() {
    TestFolder folder;
    {
        auto form = loadForm(folder);
        goToStep(*form, 66);
        QSqlTableModel* grid = ui(form)->Adodc3->model();
        QAbstractItemDelegate* cells = ui(form)->DataGrid1->itemDelegate();
        // Types into a cell the way the grid's editor does, and commits it.
        auto typeInto = [&](int row, const char* column, const QString& keys) {
            const QModelIndex index = grid->index(row, grid->record().indexOf(column));
            std::unique_ptr<QWidget> editor(cells->createEditor(ui(form)->DataGrid1->viewport(),
                                                                QStyleOptionViewItem(), index));
            cells->setEditorData(editor.get(), index);
            QTest::keyClicks(editor.get(), keys);
            cells->setModelData(editor.get(), grid, index);
        };
        typeInto(0, "AssetOwned", QStringLiteral("Delivery van"));
        typeInto(0, "OwnedCost", QStringLiteral("8500.5"));
        typeInto(1, "OwnedCost", QStringLiteral("12abc")); // letters never reach a figure
        typeInto(2, "RequiredCost", QStringLiteral("x"));  // nothing typed: stays empty
        // The figures are in the table at once, as numbers, not only when the step is left.
        QCOMPARE(folder
                     .value("SELECT typeof(OwnedCost) || ' ' || OwnedCost FROM assets WHERE "
                            "ID = 1")
                     .toString(),
                 QStringLiteral("real 8500.5"));
        QCOMPARE(folder.value("SELECT OwnedCost FROM assets WHERE ID = 2").toDouble(), 12.0);
        QVERIFY(folder.value("SELECT RequiredCost IS NULL FROM assets WHERE ID = 3").toBool());
    }
    auto form = loadForm(folder);
    goToStep(*form, 66);
    QSqlTableModel* grid = ui(form)->Adodc3->model();
    QCOMPARE(
        grid->data(grid->index(0, grid->record().indexOf(QStringLiteral("AssetOwned")))).toString(),
        QStringLiteral("Delivery van"));
    // The key column is not shown to the owner.
    QVERIFY(ui(form)->DataGrid1->isColumnHidden(grid->record().indexOf(QStringLiteral("ID"))));
}

void LayoutTest::resizeWhileGridShowsRereadsTable() {
    TestFolder folder;
    auto form = loadForm(folder);
    resizeOuter(*form, 18000, 12000);
    goToStep(*form, 42);
    QVERIFY(folder.exec("UPDATE projections SET Month = 'June' WHERE ID = 1"));
    QSqlTableModel* grid = ui(form)->Adodc3->model();
    const int month = grid->record().indexOf(QStringLiteral("Month"));
    QVERIFY(grid->data(grid->index(0, month)).toString().isEmpty());

    resizeOuter(*form, 17010, 12510);
    QCOMPARE(ui(form)->Adodc3->model()->data(ui(form)->Adodc3->model()->index(0, month)).toString(),
             QStringLiteral("June"));
    QVERIFY(ui(form)->DataGrid1->isVisible());
    const int half = (form->outerWidthTwips() - 2500) / 2;
    QCOMPARE(ui(form)->placement.width(ui(form)->quest), half);
    QCOMPARE(ui(form)->placement.left(ui(form)->DataGrid1),
             ui(form)->placement.left(ui(form)->quest) + half + 30);
}

void LayoutTest::resizeKeepsOverviewAndIllustration() {
    TestFolder folder;
    auto form = loadForm(folder);
    resizeOuter(*form, 18000, 12000);
    QVERIFY(!ui(form)->text1->isVisible());
    resizeOuter(*form, 16200, 11010);
    QVERIFY(!ui(form)->text1->isVisible());
    QCOMPARE(ui(form)->placement.height(ui(form)->quest), form->outerHeightTwips() - 3000);

    goToStep(*form, 89);
    resizeOuter(*form, 17010, 12000);
    QVERIFY(ui(form)->Image6->isVisible());
    const int half = (form->outerWidthTwips() - 2500) / 2;
    QCOMPARE(ui(form)->placement.width(ui(form)->quest), half);
    QCOMPARE(ui(form)->placement.width(ui(form)->text1), half);
    QCOMPARE(ui(form)->placement.left(ui(form)->Image6),
             ui(form)->placement.left(ui(form)->quest) + half + 30);
}

void LayoutTest::minimiseAndRestoreKeepLayout() {
    TestFolder folder;
    auto form = loadForm(folder);
    for (int step : {2, 42}) {
        goToStep(*form, step);
        resizeOuter(*form, 17010, 12000);
        const QList<QRect> before = layoutOf(*form);
        const QList<bool> visible = shown(*form);
        MessageBoxWatcher watcher;
        form->showMinimized();
        QCoreApplication::processEvents();
        form->showNormal();
        QCoreApplication::processEvents();
        QCOMPARE(layoutOf(*form), before);
        QCOMPARE(shown(*form), visible);
        QVERIFY(watcher.titles.isEmpty());
    }
}

void LayoutTest::tinyWindowSkipsImpossibleSizesSilently() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 90);
    resizeOuter(*form, 17010, 12000);
    const int questHeight = ui(form)->placement.height(ui(form)->quest);
    const int textHeight = ui(form)->placement.height(ui(form)->text1);

    MessageBoxWatcher watcher;
    form->setMinimumSize(0, 0);
    form->resize(60, 40); // like a minimised window: negative sizes come out
    QCoreApplication::processEvents();
    form->Form_Resize();
    const int h = form->outerHeightTwips();
    QVERIFY(h - h / 2 - 1500 < 0);
    // The refused heights stay as they were; everything else still ran.
    QCOMPARE(ui(form)->placement.height(ui(form)->quest), questHeight);
    QCOMPARE(ui(form)->placement.top(ui(form)->command3), h - 1500);
    QCOMPARE(ui(form)->placement.top(ui(form)->Line1), h - 1800);
    QCOMPARE(ui(form)->placement.height(ui(form)->text1), h / 4 >= 0 ? h / 4 : textHeight);
    QVERIFY(ui(form)->Image5->isVisible()); // the special layout still ran
    QVERIFY(watcher.titles.isEmpty());
}

void LayoutTest::illustrationsStayWholeBesideTheTitle_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("step");
    for (int step : {39, 89, 90, 91}) {
        QTest::addRow("1600x1000 step %d", step) << 24000 << 15000 << step;
        QTest::addRow("1024x768 step %d", step) << 15360 << 11520 << step;
    }
}

void LayoutTest::illustrationsStayWholeBesideTheTitle() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, step);
    TestFolder folder;
    auto form = loadForm(folder);
    resizeOuter(*form, width, height);
    goToStep(*form, step);
    QLabel* image = nullptr;
    for (QLabel* l : {ui(form)->Image3, ui(form)->Image4, ui(form)->Image5, ui(form)->Image6})
        if (l->isVisible())
            image = l;
    QVERIFY(image);
    // Nothing painted over the picture, and the title itself is not cut.
    const QRect picture = image->geometry();
    QVERIFY2(!ui(form)->Label2->geometry().intersects(picture),
             qPrintable(QStringLiteral("title %1,%2 %3x%4 over picture at %5")
                            .arg(ui(form)->Label2->x())
                            .arg(ui(form)->Label2->y())
                            .arg(ui(form)->Label2->width())
                            .arg(ui(form)->Label2->height())
                            .arg(picture.left())));
    QVERIFY(QFontMetrics(ui(form)->Label2->font()).horizontalAdvance(ui(form)->Label2->text()) <=
            ui(form)->Label2->width());
    const QWidget* client = image->parentWidget();
    for (const QWidget* sibling : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (sibling == image || !sibling->isVisible() || !sibling->geometry().intersects(picture))
            continue;
        // Whatever overlaps the picture lies beneath it.
        const QObjectList order = client->children();
        QVERIFY2(order.indexOf(const_cast<QWidget*>(sibling)) <
                     order.indexOf(image),
                 qPrintable(sibling->objectName() + QLatin1String(" ") +
                            sibling->metaObject()->className()));
    }
    // Back on a plain step the title has its designed width again.
    goToStep(*form, 92);
    QCOMPARE(ui(form)->placement.width(ui(form)->Label2), 10095);
}

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
