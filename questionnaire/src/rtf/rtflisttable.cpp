#include "rtflisttable.h"

#include "rtfliststyle.h"

#include <algorithm>

namespace quill::rtf {

void RtfListTable::beginList() {
    lists_.emplace_back();
    ++generation_;
}

void RtfListTable::setListId(int32_t id) {
    if (lists_.empty())
        return;
    lists_.back().id = id;
    byId_[id] = lists_.size() - 1;
    ++generation_;
}

void RtfListTable::beginLevel() {
    if (!lists_.empty() && lists_.back().levels.size() < maxLevels)
        lists_.back().levels.emplace_back();
    ++generation_;
}

void RtfListTable::setLevelNfc(int nfc) {
    if (Level* level = currentLevel())
        level->nfc = nfc;
    ++generation_;
}

void RtfListTable::appendLevelText(const QString& text) {
    // The template is at most a length character and 255 more; anything longer
    // is not a level text, and capping it keeps a hostile file from growing it.
    if (Level* level = currentLevel(); level && level->text.size() < 256)
        level->text += text.left(256 - level->text.size());
    ++generation_;
}

void RtfListTable::addOverride(int32_t ls, int32_t listId) {
    overrides_[ls] = listId;
    ++generation_;
}

QTextListFormat RtfListTable::format(int32_t ls, int ilvl) {
    ilvl = std::clamp(ilvl, 0, maxLevels - 1);
    const auto key = std::make_pair(ls, ilvl);
    auto& entry = cache_[key];
    if (entry.first != generation_ + 1)
        entry = {generation_ + 1, makeFormat(ls, ilvl)};
    return entry.second;
}

RtfListTable::Level* RtfListTable::currentLevel() {
    if (lists_.empty() || lists_.back().levels.empty())
        return nullptr;
    return &lists_.back().levels.back();
}

QTextListFormat RtfListTable::makeFormat(int32_t ls, int ilvl) const {
    const List* list = nullptr;
    if (const auto o = overrides_.find(ls); o != overrides_.end()) {
        if (const auto l = byId_.find(o->second); l != byId_.end())
            list = &lists_[l->second];
    }

    QTextListFormat format;
    format.setIndent(ilvl + 1);
    if (!list || static_cast<std::size_t>(ilvl) >= list->levels.size()) {
        format.setStyle(QTextListFormat::ListDisc);
        return format;
    }

    const Level& level = list->levels[ilvl];
    // The template: its first character is its length; characters below 9 stand
    // for the numbers of levels 0..8, everything else is literal text.
    const int length = level.text.isEmpty() ? 0 : level.text.at(0).unicode();
    const QString body = level.text.mid(1, length);
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body.at(i).unicode() < maxLevels) {
            if (first < 0)
                first = i;
            last = i;
        }
    }

    const QChar bullet = body.isEmpty() ? QChar(0x2022) : body.at(0);
    format.setStyle(listStyleForNfc(level.nfc, bullet));
    if (!isBulletStyle(format.style())) {
        if (first >= 0) {
            format.setNumberPrefix(body.left(first));
            format.setNumberSuffix(body.mid(last + 1));
        } else {
            format.setNumberPrefix(QString());
            format.setNumberSuffix(QStringLiteral("."));
        }
    }
    return format;
}

} // namespace quill::rtf
