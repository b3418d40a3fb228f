#include "frmabout.h"

#include "frmhelp.h"
#include "twips.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QSvgRenderer>

#ifndef QUILLMARK_VERSION_MAJOR
#define QUILLMARK_VERSION_MAJOR 1
#define QUILLMARK_VERSION_MINOR 0
#define QUILLMARK_VERSION_PATCH 0
#endif

namespace {

const QString kProgramTitle = QStringLiteral("Quillmark");
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");
const QString kInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kInfoLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kInfoProgram = QStringLiteral("\\MSINFO32.EXE");

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    auto place = [](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(Twips::toPixels(QRect(left, top, width, height)));
    };
    setFixedSize(Twips::toPixelsX(5730), Twips::toPixelsY(3555));

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    place(picIcon, 240, 240, 540, 540);
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QSvgRenderer icon(QStringLiteral(":/images/icon_about.svg"));
    if (icon.isValid()) {
        QPixmap pm(32, 32);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        icon.render(&p);
        p.end();
        picIcon->setPixmap(pm);
    }

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    place(lblTitle, 1050, 240, 3885, 480);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(12);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    place(lblVersion, 1050, 780, 3885, 225);

    lblDescription = new QLabel(this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    place(lblDescription, 1050, 1125, 3885, 1170);
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblDisclaimer = new QLabel(this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    place(lblDisclaimer, 255, 2625, 3870, 825);
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDisclaimer->setText(
        QStringLiteral("Warning: this program is protected by copyright. Copying or passing it "
                       "on, in whole or in part, without the rights holders' permission is not "
                       "allowed."));

    // The etched rule above the buttons, painted in paintEvent.
    separatorLeft_ = Twips::toPixelsX(225);
    separatorRight_ = Twips::toPixelsX(5505);
    separatorTop_ = Twips::toPixelsY(2475);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    place(cmdOK, 4245, 2625, 1260, 345);
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    // Escape is QDialog::reject, which closes the dialog just as OK does.

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    place(cmdSysInfo, 4260, 3075, 1245, 345);
    cmdSysInfo->setAutoDefault(false);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    Form_Load();
}

QString frmAbout::versionText() {
    return QStringLiteral("Version %1.%2.%3")
        .arg(QUILLMARK_VERSION_MAJOR)
        .arg(QUILLMARK_VERSION_MINOR)
        .arg(QUILLMARK_VERSION_PATCH);
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + kProgramTitle);
    lblVersion->setText(versionText());
    lblTitle->setText(kProgramTitle);
    lblDescription->setText(
        QStringLiteral("THE DO-IT-YOURSELF BUSINESS PLAN FOR GROWING A BUSINESS\nSupport: ") +
        frmHelp::supportContact());
}

void frmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    p.drawLine(separatorLeft_, separatorTop_, separatorRight_, separatorTop_);
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(separatorLeft_, separatorTop_ + 2, separatorRight_, separatorTop_ + 2);
}

void frmAbout::cmdOK_Click() {
    accept();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

const QList<frmAbout::SysInfoCandidate>& frmAbout::sysInfoCandidates() {
#ifdef Q_OS_WIN
    static const QList<SysInfoCandidate> list;
#else
    // Graphical tools first; the command-line ones print into a terminal window.
    static const QList<SysInfoCandidate> list = {
        {QStringLiteral("hardinfo2"), {}, false},
        {QStringLiteral("hardinfo"), {}, false},
        {QStringLiteral("kinfocenter"), {}, false},
        {QStringLiteral("gnome-system-monitor"), {}, false},
        {QStringLiteral("mate-system-monitor"), {}, false},
        {QStringLiteral("hwinfo"), {QStringLiteral("--short")}, true},
        {QStringLiteral("inxi"), {QStringLiteral("-F")}, true},
        {QStringLiteral("lshw"), {QStringLiteral("-short")}, true},
    };
#endif
    return list;
}

bool frmAbout::startProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

void frmAbout::StartSysInfo() {
    QString path;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, kInfoKey, QStringLiteral("PATH"), path)) {
        if (startProgram(path, {}))
            return;
    } else if (GetKeyValue(HKEY_LOCAL_MACHINE, kInfoLocationKey, QStringLiteral("MSINFO"), path)) {
        const QString tool = path + kInfoProgram;
        // The registry writes Windows paths; the tool is looked for with either separator.
        const QString local = QDir::fromNativeSeparators(tool);
        if (QFileInfo::exists(tool) || QFileInfo::exists(local)) {
            if (startProgram(QFileInfo::exists(tool) ? tool : local, {}))
                return;
        }
    } else {
        for (const SysInfoCandidate& c : sysInfoCandidates()) {
            const QString found = QStandardPaths::findExecutable(c.program);
            if (found.isEmpty())
                continue;
            if (!c.terminal) {
                if (startProgram(found, c.arguments))
                    return;
                break;
            }
            const QString terminal =
                QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator")).isEmpty()
                    ? QStandardPaths::findExecutable(QStringLiteral("xterm"))
                    : QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
            if (terminal.isEmpty())
                continue;
            // The terminal stays open on the output until the user presses Enter.
            const QString command = QStringLiteral("\"$0\" \"$@\"; echo; read -r -p "
                                                   "'Press Enter to close ' _");
            if (startProgram(terminal, QStringList{QStringLiteral("-e"), QStringLiteral("sh"),
                                                   QStringLiteral("-c"), command, found} +
                                           c.arguments))
                return;
            break;
        }
    }
    QMessageBox box(QMessageBox::NoIcon, kProgramTitle, kUnavailable, QMessageBox::Ok, this);
    box.exec();
}

bool frmAbout::GetKeyValue(HKEY root, const QString& keyName, const QString& valueName,
                           QString& value) {
    value.clear();
#ifdef Q_OS_WIN
    HKEY key = nullptr;
    const std::wstring keyW = keyName.toStdWString();
    if (RegOpenKeyExW(root, keyW.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    const std::wstring valueW = valueName.toStdWString();
    const LONG rc = RegQueryValueExW(key, valueW.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS) {
        RegCloseKey(key);
        return false;
    }
    qsizetype chars = qsizetype(size / sizeof(wchar_t));
    if (chars > 0 && buffer[chars - 1] == L'\0')
        --chars;
    if (type == REG_SZ)
        value = QString::fromWCharArray(buffer, chars);
    RegCloseKey(key);
    return true;
#else
    // The library's own registry store stands in for the system registry here.
    const ORegistry key(OString(keyName.toUtf8().constData()), OString(""), root);
    if (!key.keyExists())
        return false;
    const OString text = key.readString(OString(valueName.toUtf8().constData()));
    if (text.isEmpty())
        return false;
    value = QString::fromUtf8(text.c_str());
    return true;
#endif
}
