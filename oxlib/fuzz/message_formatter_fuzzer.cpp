// libFuzzer target for OMessageFormatter: any template with any strings must
// format without a crash, a leak or undefined behaviour, and the result must be
// what a plain model of the marker rules gives.
//
// Input: the template, then up to twelve insertion strings, separated by zero
// bytes. Build and run (as CI does, briefly):
//   cmake --preset fuzz && cmake --build --preset fuzz
//   mkdir -p build/fuzz/corpus-formatter && build/fuzz/oxlib/fuzz/message_formatter_fuzzer \
//       -max_total_time=15 -dict=oxlib/fuzz/formatter.dict build/fuzz/corpus-formatter \
//       oxlib/fuzz/corpus/formatter
#include <oxlib/omessageformatter.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The rules over plain bytes (every byte is one character here): a "%" with
// digits is a marker; "%%" leaves the second "%" to start one; any other "%"
// keeps the character after it as text.
std::string model(const std::string& text, const std::vector<std::string>& strings) {
    struct Marker {
        size_t at, length;
    };
    std::vector<Marker> markers;
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '%') {
            ++i;
        } else if (i + 1 < text.size() && isDigit(text[i + 1])) {
            size_t end = i + 1;
            while (end < text.size() && isDigit(text[end]))
                ++end;
            markers.push_back({i, end - i});
            i = end;
        } else if (i + 1 < text.size() && text[i + 1] == '%') {
            i += 1;
        } else {
            i += 2;
        }
    }
    std::vector<std::string> pieces;
    size_t start = 0;
    for (const Marker& m : markers) {
        pieces.push_back(text.substr(start, m.at - start));
        start = m.at + m.length;
    }
    pieces.push_back(text.substr(start));
    for (size_t k = 0; k < strings.size(); ++k) {
        const std::string marker = "%" + std::to_string(k + 1);
        size_t index = 0;
        while (index < markers.size() &&
               text.compare(markers[index].at, markers[index].length, marker) != 0)
            ++index;
        pieces[index] += strings[k];
    }
    std::string out;
    for (const std::string& p : pieces)
        out += p;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            if (parts.size() == 13)
                break;
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(data[i]);
        }
    }
    const std::vector<std::string> strings(parts.begin() + 1, parts.end());

    OMessageFormatter formatter(7, OString(parts[0].c_str()));
    for (const std::string& s : strings)
        formatter.addInsert(OString(s.c_str()));
    const OString built = formatter.build();

    const std::string expected = model(parts[0], strings);
    if (expected != built.c_str()) {
        std::fprintf(stderr, "template \"%s\": got \"%s\", the rules give \"%s\"\n",
                     parts[0].c_str(), built.c_str(), expected.c_str());
        std::abort();
    }
    return 0;
}
