#include "answerconflict.h"

#include "rtftextedit.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace AnswerConflict {
namespace {

void showStored(QWidget* parent, int step, const QByteArray& storedRtf) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Quillmark"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QStringLiteral("The answer stored now for step %1:").arg(step));
    auto* text = new quill::rtf::RtfTextEdit(&dialog);
    text->setRtf(storedRtf);
    text->setReadOnly(true);
    text->setAccessibleName(QStringLiteral("Stored answer to step %1").arg(step));
    label->setBuddy(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(text, 1);
    layout->addWidget(buttons);
    dialog.resize(560, 360);
    dialog.exec();
}

} // namespace

Choice ask(QWidget* parent, int step, const QByteArray& storedRtf) {
    for (;;) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillmark"),
                        QStringLiteral("The answer to step %1 was changed by another copy of "
                                       "Quillmark since this one showed it, so your text has not "
                                       "been stored. It is still in the answer box.")
                            .arg(step),
                        QMessageBox::NoButton, parent);
        box.setInformativeText(QStringLiteral(
            "Keep your text in the box (the step does not change), look at the stored answer "
            "first, or replace the stored answer with your text."));
        QPushButton* keep = box.addButton(QStringLiteral("&Keep my text"), QMessageBox::RejectRole);
        QPushButton* show =
            box.addButton(QStringLiteral("&Show the stored answer"), QMessageBox::ActionRole);
        QPushButton* replace =
            box.addButton(QStringLiteral("&Replace the stored answer"), QMessageBox::AcceptRole);
        box.setDefaultButton(keep);
        box.setEscapeButton(keep);
        box.exec();
        if (box.clickedButton() == show) {
            showStored(parent, step, storedRtf);
            continue;
        }
        return box.clickedButton() == replace ? Choice::Replace : Choice::Keep;
    }
}

} // namespace AnswerConflict
