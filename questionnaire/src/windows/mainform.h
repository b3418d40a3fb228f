#pragma once

#include "placement.h"
#include "stephost.h"

#include <QLockFile>
#include <QMainWindow>
#include <QSize>
#include <QString>
#include <QTimer>

#include <memory>

class AnswerModel;
class QAbstractItemModel;
class AnswerZoom;
class BoundLabel;
class FocusKeeper;
class FormatKeys;
class GoMenu;
class GridDataControl;
class QAction;
class QCloseEvent;
class QDataWidgetMapper;
class QLabel;
class QProgressBar;
class QPushButton;
class QSqlQueryModel;
class QTableView;
class QTextEdit;
class RecordCursor;
class RecoveryKeeper;
class SpellCheck;
class StatusLine;

// The window's controls under their design names, its data controls and the writing comfort
// beside them. mainForm keeps them to itself (a private base, as a form's designed part);
// tests and benchmarks reach them through mainFormProbe (mainformprobe.h).
struct mainFormControls {
    // Designed controls.
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* Label4 = nullptr;     // "Section:"
    BoundLabel* Label2 = nullptr; // section title
    BoundLabel* quest = nullptr;  // question or overview text
    QTextEdit* text1 = nullptr;   // the answer box
    QTableView* DataGrid1 = nullptr;
    QLabel* Image1 = nullptr; // decorative strip picture
    QLabel* Image2 = nullptr; // empty
    QLabel* Image3 = nullptr; // market segmentation (39)
    QLabel* Image4 = nullptr; // balance sheet (91)
    QLabel* Image5 = nullptr; // cash-flow budget (90)
    QLabel* Image6 = nullptr; // profit and loss (89)
    QLabel* fig42 = nullptr;  // blank forms of the grid tables, never shown
    QLabel* fig66 = nullptr;
    QLabel* fig67 = nullptr;
    QLabel* Label8 = nullptr; // the coloured strip along the left edge
    QWidget* Line1 = nullptr; // the rule above the bottom row
    QLabel* Label10 = nullptr;
    QLabel* Label5 = nullptr; // "Step"
    QLabel* Label6 = nullptr; // step number
    QLabel* Label7 = nullptr; // "of " and the step count
    QPushButton* cmdHelp = nullptr;
    QPushButton* Command7 = nullptr; // First
    QPushButton* command4 = nullptr; // Previous
    QPushButton* command3 = nullptr; // Next
    QPushButton* Command8 = nullptr; // Last
    QPushButton* cmdReport = nullptr;
    QPushButton* cmdEnd = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuExit = nullptr;

    // Hidden bound labels.
    BoundLabel* Label1 = nullptr; // the step's description flag
    BoundLabel* Label3 = nullptr; // the sub-section title
    BoundLabel* Label9 = nullptr; // the step's question number

    // Data controls.
    RecordCursor* Adodc1 = nullptr; // question set
    RecordCursor* Adodc2 = nullptr; // answer rows
    GridDataControl* Adodc3 = nullptr;

    // Main connection string, built by the load handler.
    QString ConnectionString;

    Placement placement;

    // Writing comfort beside the designed controls (mainformcomfort.cpp).
    GoMenu* goMenu = nullptr;
    SpellCheck* spelling = nullptr;
    AnswerZoom* zoom = nullptr;
    StatusLine* statusLine = nullptr; // word count, zoom and notices, right of the bottom row
    RecoveryKeeper* recovery = nullptr;
    FocusKeeper* focusKeeper = nullptr;
    FormatKeys* formatKeys = nullptr;
};

// The main window: one step of the business-plan questionnaire at a time.
//
// It shows the section title, the question or overview text, the answer box and, on a few
// steps, an illustration or the figure grid, with four buttons that move through the steps.
// Two cursors move in step: Adodc1 over the question set and Adodc2 over the answer rows;
// after every completed move, step k of the questions stands beside answer row k. The
// answer box is bound to the answer row under Adodc2, and an edit is written to the database
// before Adodc2 moves, never otherwise.
//
// Controls keep their design names and are placed in twips (`placement`), as designed.
// Handlers keep the event names; they share no state beyond the controls and the cursors.
//
// The handlers of the Report, Help and Exit buttons, of the File menu and of closing the
// window live in mainformactions.cpp.
class mainForm : public QMainWindow, public StepHost, private mainFormControls {
    Q_OBJECT

public:
    // The section title's designed type size.
    static constexpr qreal SectionTitlePoints = 14.25;

    // `programFolder` is where "0002.mdb" lies (the executable's folder, no trailing "/").
    explicit mainForm(const QString& programFolder, QWidget* parent = nullptr);
    ~mainForm() override;

    // The load handler: opens the database, binds the controls and lays out the first step.
    // Returns false when the database cannot be used; loadError() then says why, and the
    // file has not been created or changed.
    bool Form_Load();
    QString loadError() const { return m_loadError; }

    QString programFolder() const override { return m_programFolder; }
    // The database file: the program's folder + "/0002.mdb".
    QString databasePath() const;

    // Writes the answer box's pending edit to its answer row (no-op without one). On a
    // database error it tells the user, keeps the edit in the box and returns false.
    bool storePendingAnswer();
    // The same without telling the user: on failure `why` says what went wrong.
    bool writePendingAnswer(QString* why);
    // Before the program ends (Exit, the close box): stores the pending answer; when that
    // fails, asks once whether to end anyway (No by default), the reason beside the question.
    // True when the program may end; the edit that could not be stored then stays pending,
    // so the recovery file keeps it for the next start.
    bool storeBeforeEnding();

    // Goes to a 1-based step in one move (the Go menu, a restored edit): stores the pending
    // answer first and stops, returning false, when it cannot; then moves both cursors and
    // leaves the counter, the progress bar and the buttons as First, Last or the moves
    // between them would (mainformgoto.cpp).
    bool goToStep(int step) override;

    // The rest of what the Go menu and the recovery file see of the window
    // (mainformgoto.cpp).
    QMainWindow* hostWindow() override { return this; }
    const QAbstractItemModel* questionRows() const override;
    const QAbstractItemModel* answerRows() const override;
    int stepCount() const override;
    int currentStep() const override;
    int answerRow() const override;
    bool answerRowShown() const override;
    QString questionNumber() const override;
    QTextEdit* answerBox() const override { return text1; }
    void goToFirstStep() override;
    void goToLastStep() override;

    // The process id of another copy of the program that had the database open when this
    // one loaded it; 0 when there was none.
    qint64 otherCopyProcess() const { return m_otherCopy; }

    // Whether the owner closed the window (the close was accepted).
    bool closedByOwner() const { return m_closed; }

    // The window's current outer size (frame, title and menu bar included) in twips.
    int outerWidthTwips() const;
    int outerHeightTwips() const;

    // At start, once the window is shown: offers back an edit that a crash kept from being
    // stored (mainformcomfort.cpp).
    void offerRestore();

public slots:
    // Navigation.
    void command3_Click(); // Next
    void command4_Click(); // Previous
    void Command7_Click(); // First
    void Command8_Click(); // Last

    // Step layout: the step kind (overview or question) and the special steps.
    void Label1_Change();
    void Label9_Change();
    void Form_Resize();

    // Report, help, About and exit (mainformactions.cpp).
    void cmdReport_Click();
    void cmdEnd_Click();
    void cmdHelp_Click();
    void mnuHelp_Click();
    void mnuAbout_Click();
    void mnuExit_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override; // mainformactions.cpp

private:
    friend struct mainFormProbe;

    void createControls();
    void createMenu();
    void createWritingComfort();
    void bindAnswerBox();
    void showAnswerRow();
    // Puts the caret in the answer box on a question step (at the end of the answer when the
    // step is `newStep`), focus on Next on an overview.
    void focusStep(bool newStep = true);
    // Names the answer box after the step shown ("Answer to step 12 of 93") and describes it
    // by the question, for screen readers; the progress bar says the step too.
    void describeStep();
    // Keeps the section title clear of a shown illustration, smaller type before it is cut.
    void fitSectionTitle();
    // Sets the progress bar's value and repaints it.
    void setProgressValue(int value);
    // The left of `quest` plus its width plus 30: where a picture or the grid goes.
    int questionRightEdge() const;
    // Shows an illustration, drawing its picture the first time.
    void showPicture(QLabel* image);
    // Points the grid at a table and re-reads it; tells the user when that fails.
    void showGridTable(const QString& table);

    QString m_programFolder;
    QString m_loadError;
    QString m_mainConnection;
    QSqlQueryModel* m_questions = nullptr;
    AnswerModel* m_answers = nullptr;
    QDataWidgetMapper* m_questionMapper = nullptr;
    QDataWidgetMapper* m_answerMapper = nullptr;
    bool m_loaded = false;
    bool m_closed = false;
    std::unique_ptr<QLockFile> m_openMark; // "0002.mdb.lock": this copy has the file open
    qint64 m_otherCopy = 0;
    // Looks at the outer size again shortly after a resize or a change of window state.
    void checkOuterSize();
    QSize outerSize() const;
    QTimer m_frameCheck;
    QSize m_laidOutFor;
};
