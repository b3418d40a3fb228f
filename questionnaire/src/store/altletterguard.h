#pragma once

#include <QObject>

class QWidget;

// Keeps Alt plus a letter that no menu or button claims from typing the letter into a text
// box: a writer pressing Alt+letter means a command or nothing. AltGr combinations that make
// characters on international layouts (no Alt, or Ctrl+Alt where the system reports it so)
// still type. Mnemonics are matched before the box sees the key, so they keep working.
namespace AltLetterGuard {

// Guards `box` for as long as it lives.
void install(QWidget* box);

} // namespace AltLetterGuard
