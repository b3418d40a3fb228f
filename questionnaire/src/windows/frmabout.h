#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <oxlib/oregistry.h>

class QLabel;
class QPushButton;

// The About dialog: the program's title, version and purpose, the support contact, a legal
// notice, and a button that starts the system's information tool. Modal; OK (also Enter and
// Escape) closes it.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    // Finds the system-information tool and starts it; tells the user when there is none.
    void StartSysInfo();
    // Reads text value `valueName` of key `keyName` under `root`; true when it was read. On
    // failure `value` is empty.
    static bool GetKeyValue(HKEY root, const QString& keyName, const QString& valueName,
                            QString& value);

    // Where the information tool is looked for outside the registry: programs tried in this
    // order on PATH, each with its arguments; a program that needs a terminal is started in
    // one. Empty on Windows, where the registry names the tool.
    struct SysInfoCandidate {
        QString program;
        QStringList arguments;
        bool terminal = false;
    };
    static const QList<SysInfoCandidate>& sysInfoCandidates();

    static QString versionText();

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;

private slots:
    void cmdOK_Click();
    void cmdSysInfo_Click();

private:
    void Form_Load();
    bool startProgram(const QString& program, const QStringList& arguments);

    int separatorTop_ = 0;
    int separatorLeft_ = 0;
    int separatorRight_ = 0;
};
