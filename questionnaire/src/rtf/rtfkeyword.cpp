#include "rtfkeyword.h"

#include <string>
#include <unordered_map>

namespace quill::rtf {
namespace {

// Enumerators that would clash with C++ keywords carry a trailing underscore.
std::string_view wordName(const char* enumerator) {
    std::string_view name(enumerator);
    if (!name.empty() && name.back() == '_')
        name.remove_suffix(1);
    return name;
}

std::unordered_map<std::string_view, RtfKeyword> buildTable() {
    std::unordered_map<std::string_view, RtfKeyword> table;
#define QUILL_RTF_ENTRY(name) table.emplace(wordName(#name), RtfKeyword::name);
    QUILL_RTF_KEYWORDS(QUILL_RTF_ENTRY)
#undef QUILL_RTF_ENTRY
    return table;
}

} // namespace

RtfKeyword lookupKeyword(std::string_view name) {
    static const std::unordered_map<std::string_view, RtfKeyword> table = buildTable();
    const auto it = table.find(name);
    return it == table.end() ? RtfKeyword::Unknown : it->second;
}

} // namespace quill::rtf
