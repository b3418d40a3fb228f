// RtfListTable: the list definitions of an RTF file (\listtable and
// \listoverridetable), as the reader collects them, and the QTextListFormat a
// paragraph's \lsN\ilvlN stands for.
//
// The reader feeds it in file order: beginList/setListId/beginLevel/... while in
// \listtable, addOverride while in \listoverridetable. A paragraph that names a list
// the file never defined still gets a list (a bullet one) rather than losing it.
// Levels are 0..8; anything outside is clamped, so lookups never fail.
#pragma once

#include <QString>
#include <QTextListFormat>

#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

namespace quill::rtf {

class RtfListTable {
public:
    static constexpr int maxLevels = 9;

    void beginList();
    void setListId(int32_t id);
    void beginLevel();
    void setLevelNfc(int nfc);
    void appendLevelText(const QString& text);
    void addOverride(int32_t ls, int32_t listId);

    // The format of level ilvl of list override ls; indent is the level plus one.
    QTextListFormat format(int32_t ls, int ilvl);

private:
    struct Level {
        int nfc = 0;
        QString text; // \leveltext: a length character, then the template
    };
    struct List {
        int32_t id = 0;
        std::vector<Level> levels;
    };

    Level* currentLevel();
    QTextListFormat makeFormat(int32_t ls, int ilvl) const;

    std::vector<List> lists_;
    std::unordered_map<int32_t, std::size_t> byId_;  // \listid -> index in lists_
    std::unordered_map<int32_t, int32_t> overrides_; // \ls -> \listid
    // Formats already made, valid while their generation is current; every change
    // to the tables starts a new generation (a clear per change could be quadratic).
    std::map<std::pair<int32_t, int>, std::pair<uint64_t, QTextListFormat>> cache_;
    uint64_t generation_ = 0;
};

} // namespace quill::rtf
