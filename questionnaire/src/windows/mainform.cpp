#include "mainform.h"

#include "altletterguard.h"
#include "answerconflict.h"
#include "answerdelegate.h"
#include "answermodel.h"
#include "artwork.h"
#include "boundlabel.h"
#include "designcolors.h"
#include "figuredelegate.h"
#include "figuregrid.h"
#include "griddatacontrol.h"
#include "numbertext.h"
#include "questionstore.h"
#include "recordcursor.h"
#include "recoverykeeper.h"
#include "twips.h"

#include "rtftextedit.h"

#include <QAction>
#include <QDataWidgetMapper>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLockFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaProperty>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSqlError>
#include <QSqlIndex>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QTableView>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <limits>

namespace {

const char* const QuestionQuery =
    "SELECT questions.QuestionID, questions.QuestionNumber, questions.Question, "
    "questions.required, questions.description, Headings.Heading, Subheadings.Subheading "
    "FROM Headings INNER JOIN (questions INNER JOIN Subheadings ON questions.subheadingID = "
    "Subheadings.SubheadingID) ON Headings.HeadingID = Subheadings.headingID ORDER BY "
    "questions.QuestionNumber";

// The window's size before it is maximised: a 1024 x 768 screen at 96 DPI.
constexpr int NormalWidth = 15360;
constexpr int NormalHeight = 11520;

// Properties of an illustration label: its picture and the pixel size it is drawn at.
const char* const PictureName = "quillmarkPicture";
const char* const PictureSize = "quillmarkPictureSize";

QFont designFont(const QString& family, qreal points, bool bold, bool italic) {
    QFont f(family);
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

void setColors(QWidget* w, quint32 text, quint32 background) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, DesignColors::toColor(text));
    pal.setColor(QPalette::Window, DesignColors::toColor(background));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QString errorText(const QString& what, const QSqlError& e) {
    return QStringLiteral("%1\n\n%2").arg(what, e.text());
}

} // namespace

mainForm::mainForm(const QString& programFolder, QWidget* parent)
    : QMainWindow(parent), m_programFolder(programFolder),
      m_mainConnection(QStringLiteral("quillmark-main-%1").arg(quintptr(this), 0, 16)) {
    setWindowTitle(
        QStringLiteral("Quillmark - Copyright \u00A9 Quillmark Software. All rights reserved."));
    setWindowIcon(Artwork::appIcon());
    createMenu();
    createControls();
    createWritingComfort();

    // The designed size, centred, until the window is shown maximised.
    QRect r(0, 0, Twips::toPixelsX(NormalWidth), Twips::toPixelsY(NormalHeight));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        r.moveCenter(screen->availableGeometry().center());
    setGeometry(r);

    m_frameCheck.setSingleShot(true);
    m_frameCheck.setInterval(150);
    connect(&m_frameCheck, &QTimer::timeout, this, &mainForm::checkOuterSize);
}

mainForm::~mainForm() {
    recovery->programEnds();
    // Everything that reads the main connection goes before the connection itself.
    delete m_answerMapper;
    delete m_questionMapper;
    delete m_answers;
    delete m_questions;
    delete Adodc3;
    QuestionStore::close(m_mainConnection);
}

QString mainForm::databasePath() const {
    return m_programFolder + QStringLiteral("/0002.mdb");
}

void mainForm::createMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    mnuHelp = file->addAction(QStringLiteral("&Help"));
    mnuHelp->setShortcut(QKeySequence(Qt::Key_F1));
    mnuAbout = file->addAction(QStringLiteral("&About"));
    mnuAbout->setShortcut(QKeySequence(Qt::Key_F9));
    mnuExit = file->addAction(QStringLiteral("&Exit"));
    for (QAction* a : {mnuHelp, mnuAbout})
        a->setShortcutContext(Qt::WindowShortcut);
    connect(mnuHelp, &QAction::triggered, this, &mainForm::mnuHelp_Click);
    connect(mnuAbout, &QAction::triggered, this, &mainForm::mnuAbout_Click);
    connect(mnuExit, &QAction::triggered, this, &mainForm::mnuExit_Click);
}

void mainForm::createControls() {
    using namespace DesignColors;
    auto* client = new QWidget(this);
    setCentralWidget(client);
    QPalette pal = client->palette();
    pal.setColor(QPalette::Window, toColor(Background));
    client->setPalette(pal);
    client->setAutoFillBackground(true);
    client->setFont(designFont(QStringLiteral("Verdana"), 8.25, false, true));

    const QFont heading = designFont(QStringLiteral("Verdana"), SectionTitlePoints, true, false);
    const QFont counter = designFont(QStringLiteral("Verdana"), 11.25, false, false);
    const QFont buttonFont = designFont(QStringLiteral("MS Sans Serif"), 8.25, false, false);

    // Pictures and labels lie beneath the buttons, boxes and the grid: create them first.
    Label8 = new QLabel(client);
    setColors(Label8, Background, DarkOrange);
    placement.place(Label8, 0, -360, 1575, 11535);

    Image1 = new QLabel(client);
    Image1->setScaledContents(true);
    placement.place(Image1, 0, 0, 1545, 5355);
    Image1->setPixmap(Artwork::render(QStringLiteral("strip.svg"),
                                      Twips::toPixels(QRect(0, 0, 1545, 5355)).size()));

    Image2 = new QLabel(client);
    placement.place(Image2, 0, 5280, 1620, 6255);

    auto picture = [&](const char* name, int top, int width, int height, QSize pixels) {
        auto* image = new QLabel(client);
        image->setProperty(PictureName, QString::fromLatin1(name));
        image->setProperty(PictureSize, pixels);
        image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        image->hide();
        placement.place(image, 0, top, width, height);
        return image;
    };
    Image3 = picture("segmentation.svg", 1200, 7035, 3630, QSize(469, 242));
    Image4 = picture("balance_sample.svg", 480, 6000, 6840, QSize(400, 456));
    Image5 = picture("cashflow_sample.svg", 1080, 7425, 4515, QSize(495, 301));
    Image6 = picture("pnl_sample.svg", 480, 7890, 6645, QSize(526, 443));
    fig42 = picture("projections_form.svg", 0, 0, 0, QSize());
    fig66 = picture("assets_form.svg", 0, 0, 0, QSize());
    fig67 = picture("rawmaterials_form.svg", 0, 0, 0, QSize());

    Label4 = new QLabel(QStringLiteral("Section:"), client);
    Label4->setFont(heading);
    setColors(Label4, DarkRed, Background);
    placement.place(Label4, 1680, 480, 1455, 375);

    Label2 = new BoundLabel(client);
    Label2->setFont(heading);
    setColors(Label2, Brown, Background);
    placement.place(Label2, 3240, 480, 10095, 375);

    quest = new BoundLabel(client);
    quest->setFont(designFont(QStringLiteral("Verdana"), 11.25, true, false));
    quest->setWordWrap(true);
    quest->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setColors(quest, QuestionText, PalePeach);
    placement.place(quest, 1800, 960, 11295, 4095);

    Line1 = new QWidget(client);
    QPalette linePal = Line1->palette();
    linePal.setColor(QPalette::Window, Qt::black);
    Line1->setPalette(linePal);
    Line1->setAutoFillBackground(true);
    placement.place(Line1, 5040, 10320, 10920 - 5040, Twips::fromPixelsY(1));

    Label10 = new QLabel(QStringLiteral("THE DO-IT-YOURSELF BUSINESS PLAN FOR GROWING A BUSINESS"),
                         client);
    setColors(Label10, 0x00000000, Background);
    placement.place(Label10, 5160, 10320, 6135, 255);

    auto counterLabel = [&](const QString& text, int left, int width) {
        auto* label = new QLabel(text, client);
        label->setFont(counter);
        setColors(label, Brown, Background);
        placement.place(label, left, 10680, width, 495);
        return label;
    };
    Label5 = counterLabel(QStringLiteral("Step"), 1680, 615);
    Label6 = counterLabel(QString(), 2280, 615);
    Label7 = counterLabel(QString(), 2880, 855);

    // Hidden bound labels: they carry the step's flag, number and sub-section.
    Label1 = new BoundLabel(client);
    Label3 = new BoundLabel(client);
    Label9 = new BoundLabel(client);
    for (QLabel* hidden : {Label1, Label3, Label9})
        hidden->hide();

    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 0);
    placement.place(ProgressBar1, 1680, 120, 10095, 255);

    text1 = new quill::rtf::RtfTextEdit(client);
    // The window's italic face is not the answer's: plain text is stored without italics and
    // printed upright, so the box shows it upright too, and Italic means what it shows.
    text1->setFont(designFont(QStringLiteral("Verdana"), 8.25, false, false));
    AltLetterGuard::install(text1);
    placement.place(text1, 1680, 6000, 11415, 3255);

    DataGrid1 = new QTableView(client);
    const QFont gridFont = designFont(QStringLiteral("Verdana"), 8.25, false, true);
    DataGrid1->setFont(gridFont);
    DataGrid1->horizontalHeader()->setFont(gridFont);
    DataGrid1->setItemDelegate(new FigureDelegate(DataGrid1));
    DataGrid1->hide();
    placement.place(DataGrid1, 10680, 960, 6855, 4095);

    cmdHelp = new QPushButton(QStringLiteral("&Help"), client);
    placement.place(cmdHelp, 360, 1560, 1095, 495);

    auto navButton = [&](const QString& caption, int left) {
        auto* b = new QPushButton(caption, client);
        b->setFont(buttonFont);
        QPalette bp = b->palette();
        bp.setColor(QPalette::Button, toColor(DarkOrange));
        b->setPalette(bp);
        placement.place(b, left, 10680, 1215, 495);
        return b;
    };
    Command7 = navButton(QStringLiteral("|<<   &First"), 3960);
    command4 = navButton(QStringLiteral("<   &Previous"), 5400);
    command3 = navButton(QStringLiteral("&Next   >"), 6840);
    Command8 = navButton(QStringLiteral("&Last   >>|"), 8280);
    cmdReport = navButton(QStringLiteral("&Report"), 9720);
    cmdEnd = navButton(QStringLiteral("&Exit"), 11160);

    // What a screen reader says for each control a person can reach; the answer box says
    // its step and the question as each step is shown (describeStep).
    const struct {
        QWidget* control;
        const char* name;
        const char* description;
    } spoken[] = {
        {Command7, "First step", "Stores the answer and goes to the first step"},
        {command4, "Previous step", "Stores the answer and goes to the step before"},
        {command3, "Next step", "Stores the answer and goes to the next step"},
        {Command8, "Last step", "Stores the answer and goes to the last step"},
        {cmdReport, "Report", "Shows the draft business report"},
        {cmdEnd, "Exit", "Stores the answer and ends Quillmark"},
        {cmdHelp, "Help", "Shows how to use Quillmark"},
        {DataGrid1, "Figures", "The table of figures for this step"},
        {ProgressBar1, "Progress", ""},
        {quest, "Question", ""},
        {Label2, "Section", ""},
    };
    for (const auto& s : spoken) {
        s.control->setAccessibleName(QString::fromLatin1(s.name));
        s.control->setAccessibleDescription(QString::fromLatin1(s.description));
    }

    // Answer box first, then the bottom row from First to Exit, Help and the grid.
    QWidget* order[] = {text1,     Command7, command4, command3, Command8,
                        cmdReport, cmdEnd,   cmdHelp,  DataGrid1};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(command3, &QPushButton::clicked, this, &mainForm::command3_Click);
    connect(command4, &QPushButton::clicked, this, &mainForm::command4_Click);
    connect(Command7, &QPushButton::clicked, this, &mainForm::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &mainForm::Command8_Click);
    connect(cmdReport, &QPushButton::clicked, this, &mainForm::cmdReport_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &mainForm::cmdEnd_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &mainForm::cmdHelp_Click);
    connect(Label1, &BoundLabel::Change, this, &mainForm::Label1_Change);
    connect(Label9, &BoundLabel::Change, this, &mainForm::Label9_Change);

    m_questionMapper = new QDataWidgetMapper(this);
    m_questionMapper->setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    Adodc1 = new RecordCursor(m_questionMapper, this);

    m_answerMapper = new QDataWidgetMapper(this);
    // Written only before the answer cursor moves (storePendingAnswer), never on focus loss.
    m_answerMapper->setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    Adodc2 = new RecordCursor(m_answerMapper, this);
    Adodc2->setWriteBack([this] { return storePendingAnswer(); });
    connect(Adodc2, &RecordCursor::moved, this, &mainForm::showAnswerRow);

    Adodc3 = new GridDataControl(this);
}

bool mainForm::Form_Load() {
    // 1. Connection string.
    ConnectionString =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + databasePath();

    // 2. The connection.
    if (!QuestionStore::open(ConnectionString, m_mainConnection, &m_loadError))
        return false;
    const QSqlDatabase db = QSqlDatabase::database(m_mainConnection);

    // 3. The question set; binding it fills the labels, whose change handlers lay out step 1.
    m_questions = new QSqlQueryModel(this);
    m_questions->setQuery(QString::fromLatin1(QuestionQuery), db);
    if (m_questions->lastError().isValid()) {
        m_loadError =
            errorText(QStringLiteral("The questions cannot be read."), m_questions->lastError());
        return false;
    }
    QuestionStore::fetchAll(m_questions);
    const QSqlRecord fields = m_questions->record();
    m_questionMapper->setModel(m_questions);
    m_questionMapper->addMapping(quest, fields.indexOf(QStringLiteral("Question")));
    m_questionMapper->addMapping(Label2, fields.indexOf(QStringLiteral("Heading")));
    m_questionMapper->addMapping(Label3, fields.indexOf(QStringLiteral("subheading")));
    m_questionMapper->addMapping(Label1, fields.indexOf(QStringLiteral("description")));
    m_questionMapper->addMapping(Label9, fields.indexOf(QStringLiteral("questionnumber")));
    Adodc1->MoveFirst();

    // 4. The answer rows.
    m_answers = new AnswerModel(this, db);
    if (!m_answers->select()) {
        m_loadError =
            errorText(QStringLiteral("The answers cannot be read."), m_answers->lastError());
        return false;
    }
    bindAnswerBox();
    Adodc2->MoveFirst();

    // 5. The grid's data control on "PnL".
    Adodc3->setConnectionString(ConnectionString + QStringLiteral(";Persist Security Info=False"));
    Adodc3->setRecordSource(QStringLiteral("PnL"));
    if (!Adodc3->refresh(&m_loadError))
        return false;
    FigureGrid::attach(DataGrid1, Adodc3);

    // 6.-9. Progress and the step counter.
    const int n = Adodc1->RecordCount();
    ProgressBar1->setMaximum(n);
    Label7->setText(QStringLiteral("of ") + signedNumberText(n));
    Label6->setText(signedNumberText(1));
    setProgressValue(1);

    // 10. The first step is laid out as an overview until the first move.
    Label1->setCaption(QStringLiteral("1"));
    // 11.
    placement.setHeight(quest, outerHeightTwips() - 3000);

    // Marks the file as open by this copy; a copy that finds the mark says so at start.
    m_openMark = std::make_unique<QLockFile>(databasePath() + QStringLiteral(".lock"));
    // Only a mark whose copy no longer runs is stale, however long the other copy has run.
    m_openMark->setStaleLockTime(std::numeric_limits<int>::max());
    if (!m_openMark->tryLock(0)) {
        qint64 pid = 0;
        QString host, app;
        if (m_openMark->error() == QLockFile::LockFailedError &&
            m_openMark->getLockInfo(&pid, &host, &app))
            m_otherCopy = pid;
        m_openMark.reset();
    }

    describeStep();
    m_loaded = true;
    return true;
}

void mainForm::bindAnswerBox() {
    m_answerMapper->setModel(m_answers);
    m_answerMapper->setItemDelegate(new AnswerDelegate(m_answerMapper));
    m_answerMapper->addMapping(text1, m_answers->answerColumn());
}

void mainForm::showAnswerRow() {
    // Another copy of the program may have stored this answer since we read it: show the
    // answer as it is now, so that an edit starts from it.
    if (m_answers && Adodc2->onRow())
        m_answers->refreshRow(Adodc2->position());
    if (Adodc2->onRow()) {
        text1->setReadOnly(false);
        text1->setPlaceholderText(QString());
    } else {
        // Fewer answer rows than steps: nothing to show, and nowhere to store an answer.
        text1->clear();
        text1->setReadOnly(true);
        text1->setPlaceholderText(
            QStringLiteral("This step has no answer row in the database, so an answer "
                           "cannot be stored here."));
    }
    text1->document()->setModified(false);
}

bool mainForm::storePendingAnswer() {
    // Figures left unstored after another copy changed their row are settled first: the
    // step does not change while the owner keeps them.
    if (!FigureGrid::storePending(DataGrid1, Adodc3))
        return false;
    QString why;
    if (writePendingAnswer(&why))
        return true;
    if (!why.isEmpty())
        QMessageBox::critical(this, QStringLiteral("Quillmark"), why);
    return false;
}

bool mainForm::writePendingAnswer(QString* why) {
    if (!m_answers || !Adodc2->onRow() || !text1->document()->isModified())
        return true;
    if (text1->isHidden()) {
        // An overview step shows no answer box, so nothing typed there is the owner's answer:
        // whatever reached the hidden box is dropped, never stored in the step's row.
        text1->document()->setModified(false);
        return true;
    }
    const QByteArray property = text1->metaObject()->userProperty().name();
    const QVariant pending = text1->property(property);
    bool stored = false;
    {
        // Another program may hold the file locked; the store then waits up to the busy
        // timeout, and the owner sees at once that the program is working, not hung.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        // The box already shows what is being stored; letting the model's change notice
        // through would only read it back into the box and lay it out again.
        const QSignalBlocker quiet(m_answers);
        // Staged from `pending` as the mapper's delegate would stage it, rather than through
        // the mapper: that would serialize the whole answer a second time.
        stored = m_answers->setData(
                     m_answers->index(Adodc2->position(), m_answers->answerColumn()),
                     AnswerDelegate::storedText(pending)) &&
                 m_answers->submit();
        QGuiApplication::restoreOverrideCursor();
    }
    if (!stored) {
        // The model drops a refused value; put the edit back in the box, still pending, so
        // nothing typed is lost.
        m_answers->revert();
        text1->setProperty(property, pending);
        text1->document()->setModified(true);
        if (const std::optional<AnswerModel::Conflict> conflict = m_answers->conflict()) {
            // Another copy stored this answer after we showed it: the owner decides.
            const int step = conflict->row + 1;
            if (AnswerConflict::ask(this, step, conflict->stored.toByteArray()) ==
                AnswerConflict::Choice::Replace) {
                m_answers->takeAsRead(conflict->row, conflict->stored);
                return writePendingAnswer(why);
            }
            *why = QString(); // told already
            return false;
        }
        const QSqlError e = m_answers->lastError();
        const bool locked = e.nativeErrorCode() == QLatin1String("5") ||
                            e.nativeErrorCode() == QLatin1String("6") ||
                            e.databaseText().contains(QLatin1String("locked"));
        const QString what =
            locked ? QStringLiteral("Your answer could not be stored: another program kept the "
                                    "database locked for more than 5 seconds. Your answer is "
                                    "still in the answer box and the step has not changed; "
                                    "move on again once the other program is done.")
                   : QStringLiteral("Your answer could not be stored. It is still in the "
                                    "answer box; the step has not changed.");
        *why = errorText(what, e);
        return false;
    }
    text1->document()->setModified(false);
    return true;
}

void mainForm::describeStep() {
    const int step = Adodc1->position() + 1;
    const QString of = QStringLiteral("%1 of %2").arg(step).arg(Adodc1->RecordCount());
    text1->setAccessibleName(QStringLiteral("Answer to step ") + of);
    text1->setAccessibleDescription(quest->text());
    ProgressBar1->setAccessibleDescription(QStringLiteral("Step ") + of);
}

void mainForm::focusStep(bool newStep) {
    describeStep();
    // The answer box comes first in the focus order: on a question step the caret waits in
    // it, whatever moved the step (button, mouse or key). An overview step has no box, and
    // Next is what the owner wants there.
    if (!text1->isHidden() && !text1->isReadOnly()) {
        // On a step just shown, writing goes on where its answer ends; a bounce at either
        // end leaves the caret where it was.
        if (newStep) {
            QTextCursor end = text1->textCursor();
            end.movePosition(QTextCursor::End);
            text1->setTextCursor(end);
        }
        text1->setFocus(Qt::OtherFocusReason);
    } else if (command3->isEnabled())
        command3->setFocus(Qt::OtherFocusReason);
    else if (command4->isEnabled())
        command4->setFocus(Qt::OtherFocusReason);
}

void mainForm::setProgressValue(int value) {
    ProgressBar1->setValue(value);
    // QProgressBar skips the repaint when a step is narrower than one chunk of the style,
    // so the bar would lag a step behind the counter.
    ProgressBar1->update();
}

QSize mainForm::outerSize() const {
    // QWidget keeps the frame's extents from the last move or show and can be a border
    // width out after a change of window state; the window asks the platform, which knows
    // the extents the window manager announced last.
    if (const QWindow* w = windowHandle(); w && w->handle())
        return w->frameGeometry().size();
    return frameGeometry().size();
}

int mainForm::outerWidthTwips() const {
    return Twips::fromPixelsX(outerSize().width());
}

int mainForm::outerHeightTwips() const {
    return Twips::fromPixelsY(outerSize().height());
}

int mainForm::questionRightEdge() const {
    return placement.left(quest) + placement.width(quest) + 30;
}

void mainForm::showPicture(QLabel* image) {
    if (image->pixmap().isNull()) {
        image->setPixmap(Artwork::render(image->property(PictureName).toString(),
                                         image->property(PictureSize).toSize()));
    }
    // Whole and on top: nothing created after it (the section title) paints over it.
    image->raise();
    image->show();
}

void mainForm::showGridTable(const QString& table) {
    Adodc3->setRecordSource(table);
    QString error;
    if (!Adodc3->refresh(&error)) {
        QMessageBox::warning(this, QStringLiteral("Quillmark"), error);
        return;
    }
    // The key column only orders the rows; the owner sees the figures.
    FigureGrid::hideKeyColumns(DataGrid1);
    static const QHash<QString, QString> spokenTables = {
        {QStringLiteral("projections"), QStringLiteral("sales projections")},
        {QStringLiteral("assets"), QStringLiteral("work-related assets")},
        {QStringLiteral("rawmaterials"), QStringLiteral("raw materials")}};
    DataGrid1->setAccessibleName(QStringLiteral("Figures: ") +
                                 spokenTables.value(table.toLower(), table));
    DataGrid1->show();
}

void mainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (m_loaded) {
        Form_Resize();
        m_laidOutFor = QSize(outerWidthTwips(), outerHeightTwips());
        m_frameCheck.start();
    }
}

void mainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_loaded)
        m_frameCheck.start();
}

void mainForm::checkOuterSize() {
    // A window manager may announce a frame's new extents only after the resize that
    // changed them (a maximised window loses its borders), so the outer size the layout
    // used can be stale by the border widths: lay out again with the current one.
    const QSize outer(outerWidthTwips(), outerHeightTwips());
    if (m_loaded && outer != m_laidOutFor) {
        m_laidOutFor = outer;
        Form_Resize();
    }
}

void mainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    focusStep();
}
