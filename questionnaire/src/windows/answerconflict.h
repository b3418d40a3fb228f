#pragma once

#include <QByteArray>

class QWidget;

// What the owner decides when an answer could not be stored because another copy of the
// program (or another program) changed the same answer since this copy showed it. Nothing
// is overwritten without the owner's word.
namespace AnswerConflict {

enum class Choice {
    Keep,    // keep the text in the answer box, store nothing, stay on the step
    Replace, // store the text over the answer the other copy stored
};

// Asks, with the answer stored now one click away ("Show the stored answer", which shows
// it and asks again). Escape and the default button keep the text.
Choice ask(QWidget* parent, int step, const QByteArray& storedRtf);

} // namespace AnswerConflict
