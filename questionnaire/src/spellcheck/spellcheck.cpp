#include "spellcheck.h"

#include "spelldictionary.h"
#include "spellhighlighter.h"
#include "wordscanner.h"

#include <QActionGroup>
#include <QMenu>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QThread>

#include <algorithm>

SpellCheck::SpellCheck(QTextEdit* box, PersonalWordList words)
    : QObject(box), m_box(box), m_highlighter(new SpellHighlighter(box->document())),
      m_words(std::move(words)) {
    m_box->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_box, &QWidget::customContextMenuRequested, this, &SpellCheck::showContextMenu);
}

struct SpellCheck::Pending {
    std::unique_ptr<SpellDictionary> dictionary;
    QString error;
};

SpellCheck::~SpellCheck() {
    // A reader still running writes into what it shares with us: let it finish first.
    if (m_loader)
        m_loader->wait();
    // The highlighter belongs to the document, which may go before or after us; when it is
    // still there, it must not keep checking against a dictionary that is gone.
    delete m_highlighter.data();
}

bool SpellCheck::load(const QString& localeName) {
    finishBackgroundLoad();
    if (m_dictionary)
        return true;
    m_installed = DictionaryCatalog::installed();
    const auto chosen = DictionaryCatalog::forLocale(m_installed, localeName);
    if (!chosen) {
        emit problem(QStringLiteral("No spelling dictionary is installed, so spelling is not "
                                    "checked."));
        return false;
    }
    QString error;
    if (!useDictionary(chosen->name, &error)) {
        emit problem(QStringLiteral("The spelling dictionary cannot be read: ") + error);
        return false;
    }
    return true;
}

void SpellCheck::loadInBackground(const QString& localeName) {
    if (m_dictionary || m_loader)
        return;
    m_installed = DictionaryCatalog::installed();
    const auto chosen = DictionaryCatalog::forLocale(m_installed, localeName);
    if (!chosen) {
        emit problem(QStringLiteral("No spelling dictionary is installed, so spelling is not "
                                    "checked."));
        return;
    }
    m_pending = std::make_shared<Pending>();
    m_loader = QThread::create([files = *chosen, pending = m_pending] {
        pending->dictionary = SpellDictionary::load(files, &pending->error);
    });
    m_loader->setParent(this);
    connect(m_loader, &QThread::finished, this, &SpellCheck::finishBackgroundLoad);
    m_loader->start(QThread::LowPriority);
}

void SpellCheck::finishBackgroundLoad() {
    if (!m_loader)
        return;
    m_loader->wait();
    delete m_loader;
    m_loader = nullptr;
    const std::shared_ptr<Pending> pending = std::move(m_pending);
    if (m_dictionary)
        return; // chosen meanwhile
    if (pending->dictionary)
        install(std::move(pending->dictionary));
    else
        emit problem(QStringLiteral("The spelling dictionary cannot be read: ") + pending->error);
}

bool SpellCheck::useDictionary(const QString& name, QString* error) {
    finishBackgroundLoad();
    if (m_installed.isEmpty())
        m_installed = DictionaryCatalog::installed();
    const auto it = std::find_if(m_installed.cbegin(), m_installed.cend(),
                                 [&](const auto& d) { return d.name == name; });
    if (it == m_installed.cend()) {
        if (error)
            *error = QStringLiteral("No dictionary named %1 is installed.").arg(name);
        return false;
    }
    std::unique_ptr<SpellDictionary> loaded = SpellDictionary::load(*it, error);
    if (!loaded)
        return false;
    install(std::move(loaded));
    return true;
}

void SpellCheck::install(std::unique_ptr<SpellDictionary> loaded) {
    for (const QString& w : m_words.words())
        loaded->addWord(w);
    // The highlighter lets go of the old dictionary before it goes.
    m_highlighter->setDictionary(nullptr);
    m_dictionary = std::move(loaded);
    m_highlighter->setDictionary(m_dictionary.get());
}

QString SpellCheck::dictionaryName() const {
    return m_dictionary ? m_dictionary->name() : QString();
}

SpellCheck::Word SpellCheck::misspeltWordAt(const QPoint& viewportPos) const {
    if (!m_dictionary)
        return {};
    const QTextCursor at = m_box->cursorForPosition(viewportPos);
    const QTextBlock block = at.block();
    const int inBlock = at.position() - block.position();
    const QString text = block.text();
    for (const WordScanner::Span& w : WordScanner::checkable(text)) {
        if (inBlock < w.start || inBlock > w.start + w.length)
            continue;
        const QString word = text.mid(w.start, w.length);
        if (m_dictionary->isCorrect(word))
            return {};
        return {int(block.position() + w.start), word};
    }
    return {};
}

void SpellCheck::addToDictionary(const QString& word) {
    if (!m_dictionary || word.isEmpty())
        return;
    m_dictionary->addWord(word);
    QString error;
    if (!m_words.add(word, &error))
        emit problem(QStringLiteral("The word is accepted until Quillmark ends, but it could "
                                    "not be kept in your word list: ") +
                     error);
    m_highlighter->rehighlight();
}

void SpellCheck::replaceWord(const Word& word, const QString& replacement) {
    if (word.position < 0 || m_box->isReadOnly())
        return;
    QTextCursor c(m_box->document());
    c.setPosition(word.position);
    c.setPosition(word.position + int(word.text.size()), QTextCursor::KeepAnchor);
    if (c.selectedText() != word.text)
        return; // the text moved on since the menu opened
    c.insertText(replacement);
    m_box->setTextCursor(c);
}

QMenu* SpellCheck::createContextMenu(const QPoint& viewportPos) {
    QMenu* menu = m_box->createStandardContextMenu(viewportPos);
    QAction* const first = menu->actions().value(0);
    const Word word = misspeltWordAt(viewportPos);
    if (!word.text.isEmpty() && !m_box->isReadOnly()) {
        const QStringList suggestions = m_dictionary->suggestions(word.text);
        for (const QString& s : suggestions) {
            auto* a = new QAction(s, menu);
            QFont bold = a->font();
            bold.setBold(true);
            a->setFont(bold);
            connect(a, &QAction::triggered, this, [this, word, s] { replaceWord(word, s); });
            menu->insertAction(first, a);
        }
        if (suggestions.isEmpty()) {
            auto* none = new QAction(QStringLiteral("(no suggestions)"), menu);
            none->setEnabled(false);
            menu->insertAction(first, none);
        }
        auto* add = new QAction(QStringLiteral("Add to dictionary"), menu);
        connect(add, &QAction::triggered, this, [this, w = word.text] { addToDictionary(w); });
        menu->insertAction(first, add);
        menu->insertSeparator(first);
    }
    if (!m_installed.isEmpty()) {
        menu->addSeparator();
        QMenu* choose = menu->addMenu(QStringLiteral("Spelling dictionary"));
        auto* group = new QActionGroup(choose);
        for (const auto& d : m_installed) {
            QAction* a = choose->addAction(d.name);
            a->setCheckable(true);
            a->setChecked(d.name == dictionaryName());
            group->addAction(a);
            connect(a, &QAction::triggered, this, [this, name = d.name] {
                QString error;
                if (!useDictionary(name, &error))
                    emit problem(QStringLiteral("The spelling dictionary cannot be read: ") +
                                 error);
            });
        }
    }
    emit contextMenuBuilt(menu);
    return menu;
}

void SpellCheck::showContextMenu(const QPoint& viewportPos) {
    QMenu* menu = createContextMenu(viewportPos);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_box->viewport()->mapToGlobal(viewportPos));
}
