// msggen: turns one message source (stringres_XX.txt) into what the builds
// compile: a C++ string table with the lookup entry point of the Linux message
// libraries, a STRINGTABLE for windres, and the same messages as a message
// compiler source (for windmc: the MESSAGETABLE an event viewer reads).
//
//   msggen SOURCE [--english ENGLISH] [--table OUT.cpp] [--rc OUT.rc]
//                 [--mc OUT.mc --langid LANGID]
//
// With --english the source is a translation and is checked against the
// English one: every English id must be there, no other id may be, and each
// template must carry the same markers (%1, %2, ... as a multiset) as the
// English template of its id. Any fault is reported as FILE:LINE: error: ...
// and nothing is written, so the build stops there.
//
// Sources are UTF-8. The table keeps UTF-8 (the Linux library's multibyte code
// page); the .rc and .mc are written in Windows-1252, so a translation must stay within
// that code page. A template holds at most 256 bytes in either encoding: the
// string-resource lookup returns no more than that.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxTemplateBytes = 256;
constexpr uint32_t kMaxId = 65535; // string tables are indexed by 16-bit ids

struct Message {
    uint32_t id;
    std::string text; // UTF-8, escapes resolved
    int line;
};

struct Source {
    std::string path;
    std::vector<Message> messages; // in file order
    std::map<uint32_t, size_t> byId;
};

int g_errors = 0;

void error(const std::string& path, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: error: %s\n", path.c_str(), line, what.c_str());
    ++g_errors;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The markers of a template as the message formatter sees them: a "%" followed
// by a run of digits, the digits kept as written ("%01" is not "%1").
std::vector<std::string> markers(const std::string& text) {
    std::vector<std::string> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 1 >= text.size() || !isDigit(text[i + 1]))
            continue;
        size_t end = i + 1;
        while (end < text.size() && isDigit(text[end]))
            ++end;
        found.push_back(text.substr(i, end - i));
        i = end - 1;
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string joined(const std::vector<std::string>& list) {
    std::string out;
    for (const std::string& s : list)
        out += (out.empty() ? "" : " ") + s;
    return out.empty() ? "none" : out;
}

// UTF-8 to Windows-1252; false when a character has no place there or the
// UTF-8 is malformed.
bool toWindows1252(const std::string& utf8, std::string& out) {
    static const std::map<uint32_t, unsigned char> extra = {
        {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
        {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
        {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
        {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
        {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
        {0x017E, 0x9E}, {0x0178, 0x9F}};
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        uint32_t cp = 0;
        size_t n = 0;
        if (lead < 0x80) {
            cp = lead;
            n = 1;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F;
            n = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F;
            n = 3;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07;
            n = 4;
        } else {
            return false;
        }
        if (i + n > utf8.size())
            return false;
        for (size_t k = 1; k < n; ++k) {
            const auto trail = static_cast<unsigned char>(utf8[i + k]);
            if ((trail & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (trail & 0x3F);
        }
        i += n;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
        } else if (auto it = extra.find(cp); it != extra.end()) {
            out += static_cast<char>(it->second);
        } else {
            return false;
        }
    }
    return true;
}

bool readSource(const std::string& path, Source& source) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error(path, 0, "cannot read the file");
        return false;
    }
    source.path = path;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);
        size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line[at] == '#')
            continue;
        const size_t idEnd = line.find_first_not_of("0123456789", at);
        if (idEnd == at ||
            (idEnd != std::string::npos && line[idEnd] != ' ' && line[idEnd] != '\t')) {
            error(path, number, "a message line starts with its decimal id");
            continue;
        }
        const std::string idText = line.substr(at, idEnd - at);
        if (idText.size() > 5 || std::stoul(idText) > kMaxId) {
            error(path, number, "id " + idText + " is above " + std::to_string(kMaxId));
            continue;
        }
        const auto id = static_cast<uint32_t>(std::stoul(idText));
        const size_t textStart =
            idEnd == std::string::npos ? line.size() : line.find_first_not_of(" \t", idEnd);
        const std::string raw = textStart == std::string::npos ? "" : line.substr(textStart);
        std::string text;
        bool ok = true;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\') {
                text += raw[i];
                continue;
            }
            const char next = i + 1 < raw.size() ? raw[i + 1] : 0;
            const char* meaning = next == 'n'    ? "\n"
                                  : next == 'r'  ? "\r"
                                  : next == 't'  ? "\t"
                                  : next == '\\' ? "\\"
                                                 : nullptr;
            if (meaning == nullptr) {
                error(path, number, "unknown escape; use \\n, \\r, \\t or \\\\");
                ok = false;
                break;
            }
            text += meaning;
            ++i;
        }
        if (!ok)
            continue;
        if (text.empty()) {
            error(path, number, "message " + idText + " has an empty template");
            continue;
        }
        if (text.size() > kMaxTemplateBytes) {
            error(path, number,
                  "message " + idText + " is " + std::to_string(text.size()) +
                      " bytes long; at most 256 fit the string table");
            continue;
        }
        std::string ansi;
        if (!toWindows1252(text, ansi)) {
            error(path, number,
                  "message " + idText + " is not UTF-8 within the Windows-1252 code page");
            continue;
        }
        if (ansi.size() > kMaxTemplateBytes) {
            error(path, number, "message " + idText + " is over 256 bytes in Windows-1252");
            continue;
        }
        if (auto seen = source.byId.find(id); seen != source.byId.end()) {
            error(path, number,
                  "message " + idText + " is already on line " +
                      std::to_string(source.messages[seen->second].line));
            continue;
        }
        source.byId[id] = source.messages.size();
        source.messages.push_back({id, text, number});
    }
    return true;
}

// A translation holds the English ids, no others, each with the English markers.
void checkTranslation(const Source& translation, const Source& english) {
    for (const Message& m : translation.messages) {
        auto it = english.byId.find(m.id);
        if (it == english.byId.end()) {
            error(translation.path, m.line,
                  "message " + std::to_string(m.id) + " is not in " + english.path);
            continue;
        }
        const Message& reference = english.messages[it->second];
        const auto want = markers(reference.text);
        const auto have = markers(m.text);
        if (want != have)
            error(translation.path, m.line,
                  "message " + std::to_string(m.id) + " has the markers " + joined(have) +
                      " where the English template (" + english.path + ":" +
                      std::to_string(reference.line) + ") has " + joined(want));
    }
    for (const Message& m : english.messages)
        if (translation.byId.count(m.id) == 0)
            error(translation.path, 0,
                  "message " + std::to_string(m.id) + " of " + english.path + " is missing");
}

std::string cLiteral(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7F || c == '?') {
            // Octal escapes end after three digits, so a digit may follow safely.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string rcLiteral(const std::string& ansi) {
    std::string out = "\"";
    for (const char c : ansi) {
        switch (c) {
        case '"':
            out += "\"\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

// The source's file name without its folder, for the generated files' heading.
std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<Message> sortedById(const Source& source) {
    std::vector<Message> sorted = source.messages;
    std::sort(sorted.begin(), sorted.end(),
              [](const Message& a, const Message& b) { return a.id < b.id; });
    return sorted;
}

std::string tableSource(const Source& source) {
    std::ostringstream out;
    out << "// Generated by msggen from " << fileName(source.path)
        << "; edit the source, not this file.\n"
        << "#include <cstdint>\n\nnamespace {\n\nstruct Entry {\n    uint32_t id;\n"
        << "    const char* text;\n};\n\n// Sorted by id.\nconstexpr Entry kEntries[] = {\n";
    for (const Message& m : sortedById(source))
        out << "    {" << m.id << "u, " << cLiteral(m.text) << "},\n";
    out << "};\n\n} // namespace\n\n"
        << "// The lookup entry point: the template of `id`, or null.\n"
        << "#if defined(_WIN32)\n#define OX_STRING_TABLE_EXPORT __declspec(dllexport)\n#else\n"
        << "#define OX_STRING_TABLE_EXPORT __attribute__((visibility(\"default\")))\n#endif\n"
        << "extern \"C\" OX_STRING_TABLE_EXPORT const char*\n"
        << "oxStringTable(uint32_t id) {\n"
        << "    const Entry* low = kEntries;\n"
        << "    const Entry* high = kEntries + sizeof kEntries / sizeof kEntries[0];\n"
        << "    while (low < high) {\n"
        << "        const Entry* mid = low + (high - low) / 2;\n"
        << "        if (mid->id < id)\n            low = mid + 1;\n"
        << "        else\n            high = mid;\n    }\n"
        << "    return low != kEntries + sizeof kEntries / sizeof kEntries[0] && low->id == id\n"
        << "               ? low->text\n               : nullptr;\n}\n";
    return out.str();
}

std::string rcSource(const Source& source) {
    std::ostringstream out;
    out << "// Generated by msggen from " << fileName(source.path)
        << "; edit the source, not this file.\n"
        << "#pragma code_page(1252)\n\nSTRINGTABLE\nBEGIN\n";
    for (const Message& m : sortedById(source)) {
        std::string ansi;
        toWindows1252(m.text, ansi);
        out << "    " << m.id << ", " << rcLiteral(ansi) << "\n";
    }
    out << "END\n";
    return out.str();
}

// A message text as the message compiler reads it: "%1".."%99" stay inserts,
// any other "%" is a literal one, line breaks and tabs are written as the
// compiler's escapes, and "%0" ends the message without a line break of its own.
std::string mcText(const std::string& ansi) {
    std::string out;
    for (size_t i = 0; i < ansi.size(); ++i) {
        const char c = ansi[i];
        if (c == '%') {
            const bool insert = i + 1 < ansi.size() && ansi[i + 1] >= '1' && ansi[i + 1] <= '9';
            out += insert ? "%" : "%%";
        } else if (c == '\n') {
            out += "%n";
        } else if (c == '\r') {
            out += "%r";
        } else if (c == '\t') {
            out += "%t";
        } else if (c == '.' && (out.empty() || out.back() == '\n')) {
            out += "%."; // a lone "." on a line would end the message
        } else {
            out += c;
        }
    }
    return out + "%0";
}

std::string mcSource(const Source& source, const std::string& langId) {
    std::ostringstream out;
    out << ";// Generated by msggen from " << fileName(source.path)
        << "; edit the source, not this file.\r\n"
        << "LanguageNames=(Messages=" << langId << ":MSG0" << langId.substr(2) << ")\r\n\r\n";
    for (const Message& m : sortedById(source)) {
        std::string ansi;
        toWindows1252(m.text, ansi);
        out << "MessageId=" << m.id << "\r\nLanguage=Messages\r\n"
            << mcText(ansi) << "\r\n.\r\n\r\n";
    }
    return out.str();
}

bool writeIfChanged(const std::string& path, const std::string& content) {
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream old;
        old << in.rdbuf();
        if (in && old.str() == content)
            return true;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) {
        error(path, 0, "cannot write the file");
        return false;
    }
    return true;
}

int usage() {
    std::fprintf(stderr, "usage: msggen SOURCE [--english ENGLISH] [--table OUT.cpp] [--rc OUT.rc] "
                         "[--mc OUT.mc --langid LANGID]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string sourcePath, englishPath, tablePath, rcPath, mcPath, langId;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* target = arg == "--english"  ? &englishPath
                              : arg == "--table"  ? &tablePath
                              : arg == "--rc"     ? &rcPath
                              : arg == "--mc"     ? &mcPath
                              : arg == "--langid" ? &langId
                                                  : nullptr;
        if (target != nullptr) {
            if (++i >= argc)
                return usage();
            *target = argv[i];
        } else if (sourcePath.empty() && arg.compare(0, 2, "--") != 0) {
            sourcePath = arg;
        } else {
            return usage();
        }
    }
    if (sourcePath.empty() || mcPath.empty() != langId.empty())
        return usage();

    Source source;
    readSource(sourcePath, source);
    if (!englishPath.empty() && g_errors == 0) {
        Source english;
        readSource(englishPath, english);
        if (g_errors == 0)
            checkTranslation(source, english);
    }
    if (g_errors == 0 && !tablePath.empty())
        writeIfChanged(tablePath, tableSource(source));
    if (g_errors == 0 && !rcPath.empty())
        writeIfChanged(rcPath, rcSource(source));
    if (g_errors == 0 && !mcPath.empty())
        writeIfChanged(mcPath, mcSource(source, langId));
    if (g_errors != 0) {
        std::fprintf(stderr, "msggen: %s: %d error(s); nothing written\n", sourcePath.c_str(),
                     g_errors);
        return 1;
    }
    return 0;
}
