#include "financewindow.h"

#include "financecalculator.h"
#include "financetext.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

using finance::Cents;

namespace {

const char* const kMessageStyle = "color: #b03020;";

QString cellText(const QTableWidget* t, int r, int c) {
    const QTableWidgetItem* item = t->item(r, c);
    return item ? item->text() : QString();
}

void setCell(QTableWidget* t, int r, int c, const QString& text, bool editable = true) {
    auto* item = new QTableWidgetItem(text);
    if (!editable)
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    if (c > 0)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    t->setItem(r, c, item);
}

void say(QLabel* label, const QStringList& problems) {
    label->setText(problems.join(QLatin1Char('\n')));
    label->setVisible(!problems.isEmpty());
}

} // namespace

FinanceWindow::FinanceWindow(const QString& databasePath, QWidget* parent)
    : QDialog(parent), store_(databasePath) {
    setWindowTitle(QStringLiteral("Finance"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(1100, 720);

    auto* inputs = new QWidget;
    auto* box = new QVBoxLayout(inputs);
    gridSummary_ = new QLabel;
    gridSummary_->setWordWrap(true);
    box->addWidget(gridSummary_);

    auto* form = new QFormLayout;
    box->addLayout(form);
    firstMonth_ = new QComboBox;
    for (int m = 1; m <= 12; ++m)
        firstMonth_->addItem(FinanceText::monthName(m));
    auto* firstLabel = new QLabel(QStringLiteral("First &month of trading"));
    firstLabel->setBuddy(firstMonth_);
    form->addRow(firstLabel, firstMonth_);
    costOfSales_ = addField(form, QStringLiteral("&Cost of sales, as a share of sales (%)"),
                            QStringLiteral("What the goods you sell cost you, for every 100 of "
                                           "sales."));
    ownerMoney_ = addField(form, QStringLiteral("Money &you put in yourself"),
                           QStringLiteral("Cash the owners put into the business at the start."));
    depreciation_ = addField(form, QStringLiteral("Years your &equipment lasts"),
                             QStringLiteral("Its cost is spread over these years "
                                            "(depreciation)."));
    latePayers_ = addField(form, QStringLiteral("Share of sales &paid later (%)"),
                           QStringLiteral("Customers who pay on account rather than at once."));
    lateDays_ = addField(form, QStringLiteral("They pay after how many &days"), QString());
    tax_ = addField(form, QStringLiteral("&Tax on profit (%)"), QString());
    growth2_ = addField(form, QStringLiteral("Sales growth in year &2 (%)"),
                        QStringLiteral("Less than nought if sales will fall."));
    growth3_ = addField(form, QStringLiteral("Sales growth in year &3 (%)"), QString());
    moneyNeeded_ = addField(form, QStringLiteral("Total money the business &needs"),
                            QStringLiteral("Your total from step 85; leave empty if not known."));

    costs_ =
        addTable(box, QStringLiteral("&Running costs each month"),
                 {QStringLiteral("Running cost"), QStringLiteral("Each month")}, &costsMessage_,
                 QStringLiteral("Add a running cost"), QStringLiteral("Remove the chosen cost"));
    loans_ = addTable(
        box, QStringLiteral("&Loans"),
        {QStringLiteral("Loan"), QStringLiteral("Amount"), QStringLiteral("Interest, % a year"),
         QStringLiteral("Years"), QStringLiteral("Repaid monthly")},
        &loansMessage_, QStringLiteral("Add a loan"), QStringLiteral("Remove the chosen loan"));
    products_ =
        addTable(box, QStringLiteral("Cost of sales per pr&oduct (empty: the share above)"),
                 {QStringLiteral("Product or service"), QStringLiteral("Cost of sales (%)")},
                 &productsMessage_, QString(), QString());
    // The loans' headings are short to fit; their tips say them in full.
    const QStringList loanTips{QString(), QString(), QStringLiteral("Yearly interest rate (%)"),
                               QStringLiteral("Years to repay the loan"),
                               QStringLiteral("The monthly repayment, interest and capital")};
    for (int c = 0; c < loans_->columnCount(); ++c)
        loans_->horizontalHeaderItem(c)->setToolTip(loanTips[c]);
    loans_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    loans_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    costs_->setObjectName(QStringLiteral("runningCosts"));
    loans_->setObjectName(QStringLiteral("loans"));
    products_->setObjectName(QStringLiteral("productCosts"));
    box->addStretch();

    auto* scroll = new QScrollArea;
    scroll->setWidget(inputs);
    scroll->setWidgetResizable(true);
    // A field reached by its key comes into sight.
    connect(qApp, &QApplication::focusChanged, scroll, [scroll, inputs](QWidget*, QWidget* now) {
        if (now && inputs->isAncestorOf(now))
            scroll->ensureWidgetVisible(now);
    });

    auto* right = new QWidget;
    auto* rightBox = new QVBoxLayout(right);
    warnings_ = new QLabel;
    warnings_->setWordWrap(true);
    warnings_->setStyleSheet(QLatin1String(kMessageStyle));
    rightBox->addWidget(warnings_);
    pages_ = new QTabWidget;
    for (const QString& title : {QStringLiteral("Profit and loss"), QStringLiteral("Cash flow"),
                                 QStringLiteral("Balance sheet"), QStringLiteral("Break-even")}) {
        auto* view = new QTextBrowser;
        view->setOpenLinks(false);
        statementViews_ << view;
        if (title == QStringLiteral("Cash flow")) {
            auto* page = new QWidget;
            auto* pageBox = new QVBoxLayout(page);
            pageBox->addWidget(view, 3);
            auto* actualTitle =
                new QLabel(QStringLiteral("&Actual figures, to fill in as the months pass"));
            pageBox->addWidget(actualTitle);
            actuals_ = new QTableWidget(12, 3);
            actuals_->setObjectName(QStringLiteral("actuals"));
            actuals_->setHorizontalHeaderLabels({FinanceTables::cashInLine(),
                                                 FinanceTables::cashOutLine(),
                                                 FinanceTables::closingLine()});
            actuals_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
            actuals_->setTabKeyNavigation(false);
            actualTitle->setBuddy(actuals_);
            pageBox->addWidget(actuals_, 2);
            actualsMessage_ = new QLabel;
            actualsMessage_->setStyleSheet(QLatin1String(kMessageStyle));
            actualsMessage_->hide();
            pageBox->addWidget(actualsMessage_);
            pages_->addTab(page, title);
        } else {
            pages_->addTab(view, title);
        }
    }
    rightBox->addWidget(pages_);

    auto* split = new QSplitter;
    split->addWidget(scroll);
    split->addWidget(right);
    split->setStretchFactor(1, 2);
    // Room for the inputs' words and figures without a sideways scroll.
    split->setSizes({440, 660});
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(split);
    outer->addWidget(buttons);

    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(400);
    connect(&saveTimer_, &QTimer::timeout, this, [this] { store(); });

    connect(firstMonth_, &QComboBox::currentIndexChanged, this, [this] {
        readGrid();
        recompute();
    });
    for (Field* f : {&costOfSales_, &ownerMoney_, &depreciation_, &latePayers_, &lateDays_, &tax_,
                     &growth2_, &growth3_, &moneyNeeded_})
        connect(f->edit, &QLineEdit::textChanged, this, &FinanceWindow::recompute);
    for (QTableWidget* t : {costs_, loans_, products_, actuals_})
        connect(t, &QTableWidget::itemChanged, this, &FinanceWindow::recompute);

    if (!store_.isOpen())
        QMessageBox::warning(
            this, QStringLiteral("Quillmark"),
            QStringLiteral("The finance figures cannot be read: %1").arg(store_.error()));
    const FinanceStore::Assumptions a = store_.load();
    productCostOfSales_ = a.productCostOfSalesBp;
    filling_ = true;
    firstMonth_->setCurrentIndex(a.inputs.firstMonth - 1);
    filling_ = false;
    readGrid();
    fill(a);
}

FinanceWindow::~FinanceWindow() {
    if (saveTimer_.isActive())
        store();
}

FinanceWindow::Field FinanceWindow::addField(QFormLayout* form, const QString& label,
                                             const QString& help) {
    Field f;
    auto* cell = new QWidget;
    auto* v = new QVBoxLayout(cell);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(1);
    f.edit = new QLineEdit;
    f.edit->setToolTip(help);
    if (!help.isEmpty())
        f.edit->setPlaceholderText(help);
    f.message = new QLabel;
    f.message->setStyleSheet(QLatin1String(kMessageStyle));
    f.message->setWordWrap(true);
    f.message->hide();
    v->addWidget(f.edit);
    v->addWidget(f.message);
    auto* name = new QLabel(label);
    name->setBuddy(f.edit);
    name->setWordWrap(true);
    form->addRow(name, cell);
    return f;
}

QTableWidget* FinanceWindow::addTable(QVBoxLayout* box, const QString& title,
                                      const QStringList& headings, QLabel** message,
                                      const QString& addText, const QString& removeText) {
    auto* label = new QLabel(title);
    box->addWidget(label);
    auto* t = new QTableWidget(0, int(headings.size()));
    t->setHorizontalHeaderLabels(headings);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    t->verticalHeader()->hide();
    t->setMinimumHeight(120);
    // Tab leaves the table, as it leaves every other field; arrows move between cells.
    t->setTabKeyNavigation(false);
    label->setBuddy(t);
    box->addWidget(t);
    *message = new QLabel;
    (*message)->setStyleSheet(QLatin1String(kMessageStyle));
    (*message)->setWordWrap(true);
    (*message)->hide();
    box->addWidget(*message);
    if (!addText.isEmpty()) {
        auto* row = new QHBoxLayout;
        auto* add = new QPushButton(addText);
        auto* remove = new QPushButton(removeText);
        row->addWidget(add);
        row->addWidget(remove);
        row->addStretch();
        box->addLayout(row);
        connect(add, &QPushButton::clicked, this, [this, t] {
            const int r = t->rowCount();
            filling_ = true;
            t->insertRow(r);
            for (int c = 0; c < t->columnCount(); ++c)
                setCell(t, r, c, QString(), !(t == loans_ && c == 4));
            filling_ = false;
            t->setCurrentCell(r, 0);
            t->setFocus();
            t->editItem(t->item(r, 0));
            recompute();
        });
        connect(remove, &QPushButton::clicked, this, [this, t] {
            if (t->currentRow() >= 0)
                t->removeRow(t->currentRow());
            recompute();
        });
    }
    return t;
}

void FinanceWindow::fill(const FinanceStore::Assumptions& a) {
    filling_ = true;
    const finance::Inputs& in = a.inputs;
    costOfSales_.edit->setText(FinanceText::percent(in.costOfSalesBp));
    ownerMoney_.edit->setText(FinanceText::money(in.ownerMoney));
    depreciation_.edit->setText(QString::number(in.depreciationYears));
    latePayers_.edit->setText(FinanceText::percent(in.latePayersBp));
    lateDays_.edit->setText(QString::number(in.lateDays));
    tax_.edit->setText(FinanceText::percent(in.taxBp));
    growth2_.edit->setText(FinanceText::percent(in.growthBp[0]));
    growth3_.edit->setText(FinanceText::percent(in.growthBp[1]));
    moneyNeeded_.edit->setText(in.moneyNeeded ? FinanceText::money(in.moneyNeeded) : QString());
    costs_->setRowCount(int(in.costs.size()));
    for (int r = 0; r < costs_->rowCount(); ++r) {
        setCell(costs_, r, 0, QString::fromStdString(in.costs[r].name));
        setCell(costs_, r, 1, FinanceText::money(in.costs[r].monthly));
    }
    loans_->setRowCount(int(in.loans.size()));
    for (int r = 0; r < loans_->rowCount(); ++r) {
        const finance::Loan& l = in.loans[r];
        setCell(loans_, r, 0, QString::fromStdString(l.name));
        setCell(loans_, r, 1, FinanceText::money(l.amount));
        setCell(loans_, r, 2, FinanceText::percent(l.yearlyRateBp));
        setCell(loans_, r, 3, QString::number(l.years));
        setCell(loans_, r, 4, QString(), false);
    }
    for (int m = 1; m <= 12; ++m) {
        const QStringList lines{FinanceTables::cashInLine(), FinanceTables::cashOutLine(),
                                FinanceTables::closingLine()};
        for (int c = 0; c < 3; ++c) {
            const auto it = a.actuals.find({m, lines[c]});
            setCell(actuals_, m - 1, c,
                    it == a.actuals.end() ? QString() : FinanceText::money(it->second));
        }
    }
    filling_ = false;
    recompute();
}

void FinanceWindow::readGrid() {
    grid_ = store_.readGrid(firstMonth_->currentIndex() + 1);
    Cents sales = 0;
    for (const finance::ProductSales& p : grid_.products)
        for (Cents c : p.months)
            sales += c;
    gridSummary_->setText(
        QStringLiteral("From your tables: sales of %1 in year 1 from %2 product(s) (step 42), "
                       "assets of %3 owned and %4 to buy (step 66), stock of %5 held and %6 to "
                       "buy (step 67).")
            .arg(FinanceText::money(sales))
            .arg(grid_.products.size())
            .arg(FinanceText::money(grid_.assetsOwned), FinanceText::money(grid_.assetsToBuy),
                 FinanceText::money(grid_.stockOwned), FinanceText::money(grid_.stockToBuy)));
    syncProducts();
}

void FinanceWindow::syncProducts() {
    const bool was = filling_;
    filling_ = true;
    products_->setRowCount(int(grid_.products.size()));
    for (int r = 0; r < products_->rowCount(); ++r) {
        const QString name = QString::fromStdString(grid_.products[r].name);
        setCell(products_, r, 0, name, false);
        const auto it = productCostOfSales_.find(name);
        setCell(products_, r, 1,
                it == productCostOfSales_.end() ? QString() : FinanceText::percent(it->second));
    }
    filling_ = was;
}

QStringList FinanceWindow::messages() const {
    QStringList out;
    for (const QLabel* l : findChildren<QLabel*>())
        if (!l->isHidden() && l != warnings_ && l->styleSheet() == QLatin1String(kMessageStyle) &&
            !l->text().isEmpty())
            out << l->text();
    return out;
}

void FinanceWindow::recompute() {
    if (filling_)
        return;
    FinanceStore::Assumptions a;
    finance::Inputs& in = a.inputs;
    bool ok = true;
    in.firstMonth = firstMonth_->currentIndex() + 1;

    // Each field: read as typed, then checked for sense; the message goes beside it.
    QHash<const Field*, QStringList> problems;
    auto money = [&](Field& f, Cents& to) {
        const auto v = FinanceText::parseMoney(f.edit->text());
        if (!v) {
            problems[&f] << QStringLiteral("Enter an amount, such as 1,250.00.");
            ok = false;
        } else {
            to = *v;
        }
    };
    auto share = [&](Field& f, int& to) {
        const auto v = FinanceText::parsePercent(f.edit->text());
        if (!v) {
            problems[&f] << QStringLiteral("Enter a percentage, such as 12.5.");
            ok = false;
        } else {
            to = *v;
        }
    };
    auto whole = [&](Field& f, int& to) {
        const auto v = FinanceText::parseWhole(f.edit->text());
        if (!v) {
            problems[&f] << QStringLiteral("Enter a whole number.");
            ok = false;
        } else {
            to = *v;
        }
    };
    share(costOfSales_, in.costOfSalesBp);
    money(ownerMoney_, in.ownerMoney);
    whole(depreciation_, in.depreciationYears);
    share(latePayers_, in.latePayersBp);
    whole(lateDays_, in.lateDays);
    share(tax_, in.taxBp);
    share(growth2_, in.growthBp[0]);
    share(growth3_, in.growthBp[1]);
    money(moneyNeeded_, in.moneyNeeded);

    QStringList costProblems, loanProblems, productProblems, actualProblems;
    for (int r = 0; r < costs_->rowCount(); ++r) {
        const QString name = cellText(costs_, r, 0).trimmed();
        const auto amount = FinanceText::parseMoney(cellText(costs_, r, 1));
        if (name.isEmpty() && cellText(costs_, r, 1).trimmed().isEmpty())
            continue; // a row added and not yet filled in
        if (!amount) {
            costProblems << QStringLiteral("Row %1: enter what %2 costs each month as an amount.")
                                .arg(r + 1)
                                .arg(name.isEmpty() ? QStringLiteral("it") : name);
            ok = false;
            continue;
        }
        in.costs.push_back({name.toStdString(), *amount});
    }
    for (int r = 0; r < loans_->rowCount(); ++r) {
        const auto amount = FinanceText::parseMoney(cellText(loans_, r, 1));
        const auto rate = FinanceText::parsePercent(cellText(loans_, r, 2));
        const auto years = FinanceText::parseWhole(cellText(loans_, r, 3));
        bool blank = true;
        for (int c = 0; c < 4; ++c)
            blank = blank && cellText(loans_, r, c).trimmed().isEmpty();
        if (blank)
            continue;
        if (!amount || !rate || !years) {
            loanProblems << QStringLiteral("Row %1: enter the amount, the yearly interest as a "
                                           "percentage and the years as a whole number.")
                                .arg(r + 1);
            ok = false;
            continue;
        }
        QString name = cellText(loans_, r, 0).trimmed();
        if (name.isEmpty())
            name = QStringLiteral("Loan %1").arg(r + 1);
        in.loans.push_back({name.toStdString(), *amount, *rate, *years});
    }
    for (int r = 0; r < products_->rowCount(); ++r) {
        const QString name = cellText(products_, r, 0);
        const QString typed = cellText(products_, r, 1).trimmed();
        if (typed.isEmpty()) {
            productCostOfSales_.erase(name);
            continue;
        }
        const auto v = FinanceText::parsePercent(typed);
        if (!v || *v < 0 || *v > 10000) {
            productProblems << QStringLiteral("%1: the cost of sales is a percentage from 0 to "
                                              "100.")
                                   .arg(name);
            ok = false;
            continue;
        }
        productCostOfSales_[name] = *v;
    }
    a.productCostOfSalesBp = productCostOfSales_;
    const QStringList lines{FinanceTables::cashInLine(), FinanceTables::cashOutLine(),
                            FinanceTables::closingLine()};
    for (int m = 1; m <= 12; ++m)
        for (int c = 0; c < 3; ++c) {
            const QString typed = cellText(actuals_, m - 1, c).trimmed();
            if (typed.isEmpty())
                continue;
            const auto v = FinanceText::parseMoney(typed);
            if (!v) {
                actualProblems << QStringLiteral("Month %1, %2: enter an amount.")
                                      .arg(m)
                                      .arg(lines[c].toLower());
                ok = false;
                continue;
            }
            a.actuals[{m, lines[c]}] = *v;
        }

    // Figures that read well but make no sense.
    if (ok)
        for (const finance::InputProblem& p : finance::validate(in)) {
            const QString text = QString::fromStdString(p.message);
            ok = false;
            switch (p.field) {
            case finance::InputProblem::CostOfSales:
                problems[&costOfSales_] << text;
                break;
            case finance::InputProblem::OwnerMoney:
                problems[&ownerMoney_] << text;
                break;
            case finance::InputProblem::DepreciationYears:
                problems[&depreciation_] << text;
                break;
            case finance::InputProblem::LatePayers:
                problems[&latePayers_] << text;
                break;
            case finance::InputProblem::LateDays:
                problems[&lateDays_] << text;
                break;
            case finance::InputProblem::Tax:
                problems[&tax_] << text;
                break;
            case finance::InputProblem::Growth:
                problems[p.index == 0 ? &growth2_ : &growth3_] << text;
                break;
            case finance::InputProblem::MoneyNeeded:
                problems[&moneyNeeded_] << text;
                break;
            case finance::InputProblem::CostName:
            case finance::InputProblem::CostAmount:
                costProblems << QStringLiteral("%1: %2").arg(
                    QString::fromStdString(in.costs[p.index].name), text);
                break;
            case finance::InputProblem::LoanAmount:
            case finance::InputProblem::LoanRate:
            case finance::InputProblem::LoanYears:
                loanProblems << QStringLiteral("%1: %2").arg(
                    QString::fromStdString(in.loans[p.index].name), text);
                break;
            default:
                warnings_->setText(text);
                break;
            }
        }
    for (Field* f : {&costOfSales_, &ownerMoney_, &depreciation_, &latePayers_, &lateDays_, &tax_,
                     &growth2_, &growth3_, &moneyNeeded_})
        say(f->message, problems.value(f));
    say(costsMessage_, costProblems);
    say(loansMessage_, loanProblems);
    say(productsMessage_, productProblems);
    say(actualsMessage_, actualProblems);

    usable_ = ok;
    if (!ok) {
        warnings_->setText(QStringLiteral("Some figures need correcting (marked in red): the "
                                          "statements show the last figures that could be "
                                          "used, and nothing is stored until they are put "
                                          "right."));
        warnings_->show();
        return;
    }
    const finance::Inputs full = store_.inputs(a, grid_);
    const auto statements = finance::calculate(full);
    if (!statements)
        return;
    figures_.inputs = full;
    figures_.statements = *statements;
    figures_.actuals = a.actuals;
    figures_.salesRowsLeftOut = grid_.salesRowsLeftOut;
    // The repayments the loans' figures give.
    const bool was = filling_;
    filling_ = true;
    for (int r = 0, i = 0; r < loans_->rowCount(); ++r) {
        bool blank = true;
        for (int c = 0; c < 4; ++c)
            blank = blank && cellText(loans_, r, c).trimmed().isEmpty();
        setCell(loans_, r, 4,
                blank ? QString() : FinanceText::money(statements->loanInstalments[i++]), false);
    }
    filling_ = was;
    const QStringList w = FinanceTables::warnings(*statements, full, grid_.salesRowsLeftOut);
    warnings_->setText(w.join(QLatin1Char('\n')));
    warnings_->setVisible(!w.isEmpty());
    showStatements();
    saveTimer_.start();
}

void FinanceWindow::showStatements() {
    const int steps[] = {FinanceDocument::kProfitAndLossStep, FinanceDocument::kCashFlowStep,
                         FinanceDocument::kBalanceSheetStep, FinanceDocument::kBreakEvenStep};
    for (int i = 0; i < statementViews_.size(); ++i) {
        QTextBrowser* view = statementViews_[i];
        auto* doc = new QTextDocument(view);
        FinanceDocument::Style style{font().family(), font().pointSizeF(),
                                     std::max(480.0, view->viewport()->width() - 40.0)};
        QTextCursor c(doc);
        FinanceDocument::insert(c, steps[i], &figures_, style);
        const int scroll = view->verticalScrollBar() ? view->verticalScrollBar()->value() : 0;
        // The view deletes the document it had when that one is its child, as ours are.
        view->setDocument(doc);
        view->verticalScrollBar()->setValue(scroll);
    }
}

bool FinanceWindow::store() {
    saveTimer_.stop();
    if (!usable_)
        return false;
    FinanceStore::Assumptions a;
    a.inputs = figures_.inputs;
    a.inputs.products.clear();
    a.productCostOfSalesBp = productCostOfSales_;
    a.actuals = figures_.actuals;
    if (!store_.save(a)) {
        warnings_->setText(
            QStringLiteral("The finance figures could not be stored: %1").arg(store_.error()));
        warnings_->show();
        return false;
    }
    return true;
}

void FinanceWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The grid may have changed since the window was last shown.
    readGrid();
    recompute();
}

void FinanceWindow::done(int result) {
    if (usable_)
        store();
    QDialog::done(result);
}
