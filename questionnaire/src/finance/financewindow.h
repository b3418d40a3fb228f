#pragma once

#include "financedocument.h"
#include "financestore.h"

#include <QDialog>
#include <QList>
#include <QTimer>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTableWidget;
class QTextBrowser;

// The "Finance" window: the few figures the statements need beyond the grid's tables, in
// plain words, and the statements built from them as they are typed.
//
// A figure that cannot be used gets a message beside its field; the statements then stay
// as the last usable figures left them and nothing is stored. Usable figures are stored a
// moment after the last change and when the window closes. The sales forecast (step 42),
// the assets (66) and the stock (67) are read from the grid's tables each time the window
// is shown, never written.
class FinanceWindow : public QDialog {
    Q_OBJECT

public:
    explicit FinanceWindow(const QString& databasePath, QWidget* parent = nullptr);
    ~FinanceWindow() override;

    // Whether every figure can be used; the messages shown beside the fields otherwise.
    bool inputsUsable() const { return usable_; }
    QStringList messages() const;
    // The figures the statements on show were built from.
    const FinanceDocument::Figures& figures() const { return figures_; }
    // Stores the usable figures now; false (and a message) when they cannot be stored.
    bool store();
    QTabWidget* statementPages() const { return pages_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    struct Field {
        QLineEdit* edit = nullptr;
        QLabel* message = nullptr;
    };
    Field addField(class QFormLayout* form, const QString& label, const QString& help);
    QTableWidget* addTable(class QVBoxLayout* box, const QString& title,
                           const QStringList& headings, QLabel** message, const QString& addText,
                           const QString& removeText);
    void fill(const FinanceStore::Assumptions& a);
    void recompute();
    void showStatements();
    void readGrid();
    void syncProducts();

    FinanceStore store_;
    FinanceStore::GridFigures grid_;
    FinanceDocument::Figures figures_;
    std::map<QString, int> productCostOfSales_;
    bool usable_ = false;
    bool filling_ = false;
    QTimer saveTimer_;

    QComboBox* firstMonth_ = nullptr;
    Field costOfSales_, ownerMoney_, depreciation_, latePayers_, lateDays_, tax_, growth2_,
        growth3_, moneyNeeded_;
    QTableWidget* costs_ = nullptr;
    QLabel* costsMessage_ = nullptr;
    QTableWidget* loans_ = nullptr;
    QLabel* loansMessage_ = nullptr;
    QTableWidget* products_ = nullptr;
    QLabel* productsMessage_ = nullptr;
    QTableWidget* actuals_ = nullptr;
    QLabel* actualsMessage_ = nullptr;
    QLabel* gridSummary_ = nullptr;
    QLabel* warnings_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QList<QTextBrowser*> statementViews_;
};
