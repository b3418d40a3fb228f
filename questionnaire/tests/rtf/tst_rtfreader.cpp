// Reading RTF: files in the styles of the common writers, code pages and Unicode,
// skipped destinations, fields, tables, pictures, and input that is broken, deep
// or huge.
#include <QtTest>

#include "rtfdocumentbuilder.h"
#include "rtftestsupport.h"
#include "rtfunits.h"

#include <QTextTable>

using namespace quill::rtf;
using namespace quill::rtf::testing;

namespace {

QTextTable* firstTable(const QTextDocument& doc) {
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (auto* table = qobject_cast<QTextTable*>(it.currentFrame()))
            return table;
    }
    return nullptr;
}

// The text of a document with its blocks joined by "|", for compact expectations.
QString textOf(const QByteArray& rtf) {
    auto doc = readRtf(rtf);
    return blockTexts(*doc).join(u'|');
}

QByteArray hex(const QByteArray& bytes) {
    return bytes.toHex();
}

// The PNG bytes of samplePicture(w, h), as hex for a \pict.
QByteArray pngHex(int width, int height) {
    return hex(encoded(samplePicture(width, height), "PNG"));
}

uint32_t crc32(const QByteArray& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<uint8_t>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray bigEndian(uint32_t v) {
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += static_cast<char>((v >> shift) & 0xFF);
    return bytes;
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data) {
    return bigEndian(uint32_t(data.size())) + type + data + bigEndian(crc32(type + data));
}

// A PNG that declares a size and holds almost no pixel data: what a hostile
// file would send to make the reader allocate.
QByteArray pngHeaderOnly(uint32_t width, uint32_t height) {
    return QByteArray("\x89PNG\r\n\x1a\n") +
           pngChunk("IHDR",
                    bigEndian(width) + bigEndian(height) + QByteArray("\x08\x02\x00\x00\x00", 5)) +
           pngChunk("IDAT", QByteArray("\x78\x9c", 2)) + pngChunk("IEND", {});
}

QByteArray withText(const QByteArray& picture) {
    return "{\\rtf1\\ansi before " + picture + " after\\par}";
}

} // namespace

class TestRtfReader : public QObject {
    Q_OBJECT

private slots:
    void wordProcessorFile();
    void minimalEditorFile();
    void oldStyleNumbering();
    void codePages_data();
    void codePages();
    void unicode_data();
    void unicode();
    void specialCharacters();
    void skippedDestinations_data();
    void skippedDestinations();
    void fields();
    void tables();
    void notRtf();
    void malformedInput_data();
    void malformedInput();
    void deepNesting();
    void hugeInput();
    void loadLeavesNothingToUndo();
    void pictures_data();
    void pictures();
    void hostilePictures_data();
    void hostilePictures();
    void pictureLimits();
};

void TestRtfReader::wordProcessorFile() {
    bool ok = false;
    auto doc = readRtf(fixture("wordprocessor.rtf"), &ok);
    QVERIFY(ok);

    // Header, footnote separator, picture, theme data and the like leave no text.
    QCOMPARE(blockTexts(*doc), QStringList({
                                   "Market analysis",
                                   "Our customers are small cafés in the old town, paying € 12 a "
                                   "month(net).",
                                   "Red and highlighted, H2O and m2, code—see our site.\u2028Next "
                                   "line\tafter tab.",
                                   "Centred \U0001F600",
                                   "First point",
                                   "Sub point",
                                   "Second point",
                                   "Research",
                                   "Competitors",
                                   "Pricing",
                                   "Figures:",
                                   "Year",
                                   "Revenue",
                                   "Costs",
                                   "2024",
                                   "120\u00A0000 in total",
                                   "After the picture.",
                               }));

    const QStringList d = describe(*doc);
    QCOMPARE(d[0], "top240 h1 [Market analysis|Times New Roman 16 bold]");
    QCOMPARE(d[1], "bottom160 line107.917% [Our customers are |Calibri 11] [small|Calibri 11 bold] "
                   "[ cafés in the |Calibri 11] [old town|Calibri 11 italic] [, paying € 12 a "
                   "month|Calibri 11] [(net)|Calibri 11 underline1] [.|Calibri 11]");
    QCOMPARE(d[2],
             "align8 left720 right360 top120 bottom240 [Red|Calibri 11 fg#ff0000] [ and "
             "|Calibri 11] [highlighted|Calibri 11 bg#ffff00] [, H|Calibri 11] [2|Calibri "
             "11 sub] [O and m|Calibri 11] [2|Calibri 11 super] [, |Calibri 11] [code|Courier "
             "New 14] [—see |Calibri 11] [our site|Calibri 11 underline1 fg#0563c1 "
             "href=https://example.org/plan] [.\u2028Next line\tafter tab.|Calibri 11]");
    QVERIFY(d[3].startsWith("align4 "));

    // Lists: the bullet list's levels are disc and circle; numbering runs on over
    // the nested level and restarts nothing at its own level.
    QVERIFY(d[4].contains("list-1/1"));
    QVERIFY(d[5].contains("list-2/2"));
    QVERIFY(d[6].contains("list-1/1"));
    QCOMPARE(doc->findBlockByNumber(4).textList(), doc->findBlockByNumber(6).textList());
    QVERIFY(d[7].contains("list-4/1 item:1."));
    QVERIFY(d[8].contains("list-5/2 item:a)"));
    QVERIFY(d[9].contains("list-4/1 item:2."));
    QVERIFY(!doc->findBlockByNumber(10).textList());

    // The second row's last cell spans the first row's last two columns.
    QTextTable* table = firstTable(*doc);
    QVERIFY(table);
    QCOMPARE(table->rows(), 2);
    QCOMPARE(table->columns(), 3);
    QCOMPARE(table->cellAt(1, 1).columnSpan(), 2);
    QCOMPARE(table->cellAt(0, 0).format().background().color(), QColor(217, 226, 243));
    QVERIFY(table->format().border() > 0);
    const auto widths = table->format().columnWidthConstraints();
    QCOMPARE(widths.size(), 3);
    QCOMPARE(qRound(widths[0].rawValue() * 15), 3005);
    QVERIFY(d[11].contains("bold"));
}

void TestRtfReader::minimalEditorFile() {
    // A minimal editor: old-style bullets, \sl276\slmult1, colours; text after
    // the document's closing brace is not part of it.
    auto doc = readRtf(fixture("minimal_editor.rtf"));
    QCOMPARE(describe(*doc),
             QStringList({
                 "bottom200 line115% [Plain paragraph with |Calibri 11] [bold|Calibri 11 bold] [, "
                 "|Calibri 11] [italic|Calibri 11 italic] [, |Calibri 11] [underline|Calibri 11 "
                 "underline1] [ and |Calibri 11] [struck|Calibri 11 strike] [.|Calibri 11]",
                 "bottom200 line115% [Red text|Calibri 11 fg#ff0000] [ and |Calibri 11] "
                 "[blue|Calibri 11 fg#004dbb] [.|Calibri 11]",
                 "bottom200 line115% list-1/1 item:. [First bullet|Calibri 11]",
                 "bottom200 line115% list-1/1 item:. [Second bullet|Calibri 11]",
                 "align4 bottom200 line115% [Centered|Calibri 11]",
                 "align2 bottom200 line115% [Café € 100|Calibri 16]",
             }));
    QCOMPARE(doc->findBlockByNumber(2).textList(), doc->findBlockByNumber(3).textList());
}

void TestRtfReader::oldStyleNumbering() {
    auto doc = readRtf(fixture("numbered_pn.rtf"));
    const QStringList d = describe(*doc);
    QCOMPARE(d.size(), 9);
    QCOMPARE(d[1], "list-4/1 item:1. [Write the plan|Helvetica 12]");
    QCOMPARE(d[2], "list-4/1 item:2. [Test the market|Helvetica 12]");
    QCOMPARE(d[3], "list-4/1 item:3. [Launch|Helvetica 12]");
    QCOMPARE(d[4], " [Between|Helvetica 12]");
    // A paragraph outside the list ends it: the next numbered run is a new list.
    QCOMPARE(d[5], "list-5/1 item:a) [alpha|Helvetica 12]");
    QCOMPARE(d[6], "list-5/1 item:b) [beta|Helvetica 12]");
    QCOMPARE(d[7], "list-1/1 item:. [dot|Helvetica 12]");
    QCOMPARE(d[8], "list-7/2 item:(i) [roman|Helvetica 12]");
}

void TestRtfReader::codePages_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("1251 fixture") << fixture("cyrillic_1251.rtf") << "План развития";
    QTest::newRow("charsets per font") << fixture("mixed_charsets.rtf") << "Plan: 日本, žeśny, あ";
    QTest::newRow("1250") << QByteArray("{\\rtf1\\ansi\\ansicpg1250 \\'8a\\'e8\\'f8}") << "Ščř";
    QTest::newRow("1253") << QByteArray("{\\rtf1\\ansi\\ansicpg1253 \\'e1\\'e2\\'e3}") << "αβγ";
    QTest::newRow("1254") << QByteArray("{\\rtf1\\ansi\\ansicpg1254 \\'f0\\'fe}") << "ğş";
    QTest::newRow("1255") << QByteArray("{\\rtf1\\ansi\\ansicpg1255 \\'f9\\'ec}") << "של";
    QTest::newRow("1256") << QByteArray("{\\rtf1\\ansi\\ansicpg1256 \\'c8}") << "ب";
    QTest::newRow("1257") << QByteArray("{\\rtf1\\ansi\\ansicpg1257 \\'e0\\'e8}") << "ąč";
    QTest::newRow("1258") << QByteArray("{\\rtf1\\ansi\\ansicpg1258 \\'d0}") << "Đ";
    QTest::newRow("437 via \\pc") << QByteArray("{\\rtf1\\pc \\'82\\'b0}") << "é░";
    QTest::newRow("850 via \\pca") << QByteArray("{\\rtf1\\pca \\'82\\'d0}") << "éð";
    QTest::newRow("Mac via \\mac") << QByteArray("{\\rtf1\\mac \\'8e}") << "é";
    QTest::newRow("932 raw bytes")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932 \x93\xfa\x8c\xea}") << "日語";
    QTest::newRow("1252 upper half")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1252 \\'80\\'85\\'93\\'94\\'e9\xe9}") << "€…“”éé";
    QTest::newRow("unknown code page reads as 1252")
        << QByteArray("{\\rtf1\\ansi\\ansicpg99999 \\'e9}") << "é";
}

void TestRtfReader::codePages() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(textOf(rtf), text);
}

void TestRtfReader::unicode_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("one fallback") << QByteArray("{\\rtf1 a\\u8364?b}") << "a€b";
    QTest::newRow("fallback as hex") << QByteArray("{\\rtf1 a\\u8364\\'80b}") << "a€b";
    QTest::newRow("\\uc0") << QByteArray("{\\rtf1\\uc0 a\\u8364 b}") << "a€b";
    QTest::newRow("\\uc2") << QByteArray("{\\rtf1\\uc2 a\\u8364\\'80\\'80b}") << "a€b";
    QTest::newRow("\\uc2, word counts as one")
        << QByteArray("{\\rtf1\\uc2 a\\u8364\\'80\\tab b}") << "a€b";
    QTest::newRow("\\uc scoped to its group")
        << QByteArray("{\\rtf1 {\\uc2 \\u8364??}\\u8364?x}") << "€€x";
    QTest::newRow("negative value") << QByteArray("{\\rtf1 \\u-3913?}") << "\uF0B7";
    QTest::newRow("surrogate pair")
        << QByteArray("{\\rtf1 \\u-10179?\\u-8704?}") << QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("lone high surrogate") << QByteArray("{\\rtf1 a\\u-10179?b}") << "a\uFFFDb";
    QTest::newRow("fallback stops at a group") << QByteArray("{\\rtf1\\uc3 \\u8364?{x}y}") << "€xy";
    QTest::newRow("fallback within text run") << QByteArray("{\\rtf1\\uc2 \\u8364 abc}") << "€c";
    QTest::newRow("out of range value") << QByteArray("{\\rtf1 a\\u70000?b}") << "ab";
    QTest::newRow("no value") << QByteArray("{\\rtf1 a\\u b}") << "ab";
    QTest::newRow("zero still has a fallback") << QByteArray("{\\rtf1 a\\u0 bc}") << "ac";
}

void TestRtfReader::unicode() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(textOf(rtf), text);
}

void TestRtfReader::specialCharacters() {
    QCOMPARE(textOf("{\\rtf1 a\\~b\\-c\\_d\\\\e\\{f\\}g}"), "a\u00A0b\u00ADc\u2011d\\e{f}g");
    QCOMPARE(textOf("{\\rtf1 \\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet}"),
             "—–‘’“”•");
    QCOMPARE(textOf("{\\rtf1 a\\tab b\\line c\tz}"), "a\tb\u2028c\tz");
    QCOMPARE(textOf("{\\rtf1 one\\par two\\\ntwo b\\sect three\\page four}"),
             "one|two|two b|three|four");
    // Line ends in the file are not text; characters Qt keeps for its own
    // structure cannot come in through \'hh or \u.
    QCOMPARE(textOf("{\\rtf1 a\r\nb\\'0d\\'0a\\u8233?c\\u65532?d}"), "ab\u2028cd");
    auto doc = readRtf("{\\rtf1 one\\page two}");
    QVERIFY(doc->findBlockByNumber(1).blockFormat().pageBreakPolicy() &
            QTextFormat::PageBreak_AlwaysBefore);
}

void TestRtfReader::skippedDestinations_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("unknown \\* destination, nested")
        << QByteArray("{\\rtf1 a{\\*\\madeup x{y{z}}\\par w}b}") << "ab";
    QTest::newRow("unknown word without \\* is ignored, text kept")
        << QByteArray("{\\rtf1 a{\\madeup x}b}") << "axb";
    QTest::newRow("known destinations")
        << QByteArray("{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}"
                      "{\\header H\\par}{\\footer F}a{\\footnote note}b"
                      "{\\*\\bkmkstart m}c{\\*\\bkmkend m}}")
        << "abc";
    QTest::newRow("picture with hex and binary data")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip 89504e47\\bin6 }{{}}}}b}") << "ab";
    QTest::newRow("binary data in text is dropped") << QByteArray("{\\rtf1 a\\bin3 {}\\b}") << "ab";
    QTest::newRow("list text and old numbering text")
        << QByteArray("{\\rtf1{\\listtext 1.\\tab}a{\\pntext \\'b7\\tab}b}") << "ab";
    QTest::newRow("ud over upr") << QByteArray(
                                        "{\\rtf1{\\upr{ansi text}{\\*\\ud{unicode \\u8364?}}}}")
                                 << "unicode €";
    QTest::newRow("destination word mid-group of the document")
        << QByteArray("{\\rtf1 a\\pict b}") << "ab";
}

void TestRtfReader::skippedDestinations() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(textOf(rtf), text);
}

void TestRtfReader::fields() {
    auto doc = readRtf("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \\\\l \"Target\"}{\\fldrslt here}}"
                       " {\\field{\\*\\fldinst { PAGE }}{\\fldrslt 7}} "
                       "{\\field{\\*\\fldinst{HYPERLINK \"http://a.example/x?q=1\" \\\\o \"tip\"}}"
                       "{\\fldrslt{\\ul there}}} {\\field{\\*\\fldinst SYMBOL 183}} end}");
    QCOMPARE(blockTexts(*doc), QStringList({"here 7 there  end"}));
    const QStringList d = describe(*doc);
    QVERIFY2(d[0].contains("[here|") && d[0].contains("href=#Target]"), qPrintable(d[0]));
    QVERIFY2(d[0].contains("[there|") && d[0].contains("underline1 href=http://a.example/x?q=1]"),
             qPrintable(d[0]));
    QVERIFY2(!d[0].contains("[ 7 |Sans Serif 9 href"), qPrintable(d[0]));
}

void TestRtfReader::tables() {
    // Rows of different widths, a vertical merge, cell shading, and a row whose
    // \row never comes.
    auto doc = readRtf("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}"
                       "\\trowd\\trgaph100\\clvmgf\\cellx1000\\clcbpat1\\cellx2000\\cellx3000"
                       "\\pard\\intbl A\\cell B\\cell C\\cell\\row"
                       "\\trowd\\clvmrg\\cellx1000\\cellx3000"
                       "\\pard\\intbl\\cell D\\par D2\\cell\\row"
                       "\\trowd\\cellx1000\\cellx2000\\cellx3000"
                       "\\pard\\intbl E\\cell F\\cell"
                       "\\pard after}");
    QTextTable* table = firstTable(*doc);
    QVERIFY(table);
    QCOMPARE(table->rows(), 3);
    QCOMPARE(table->columns(), 3);
    QCOMPARE(table->cellAt(0, 0).rowSpan(), 2);
    QCOMPARE(table->cellAt(1, 1).columnSpan(), 2);
    QCOMPARE(table->cellAt(0, 1).format().background().color(), QColor(Qt::red));
    QCOMPARE(table->format().cellPadding(), 100 / 15.0);
    QCOMPARE(blockTexts(*doc), QStringList({"", "A", "B", "C", "D", "D2", "E", "F", "", "after"}));

    // Cells whose edges cannot be told apart fall back to one column per cell.
    doc = readRtf(
        "{\\rtf1\\trowd\\cellx100\\cellx100\\cellx100\\intbl a\\cell b\\cell c\\cell\\row}");
    table = firstTable(*doc);
    QVERIFY(table);
    QCOMPARE(table->columns(), 3);

    // More cells in a row than any table needs: the rest joins the last cell.
    QByteArray wide = "{\\rtf1\\trowd\\intbl ";
    for (int i = 0; i < 100; ++i)
        wide += "x\\cell ";
    wide += "\\row}";
    doc = readRtf(wide);
    table = firstTable(*doc);
    QVERIFY(table);
    QCOMPARE(table->columns(), RtfDocumentBuilder::maxColumns);
    QCOMPARE(doc->toPlainText().count(u'x'), 100);

    // \cell without \intbl, nested table cells flattened into their cell.
    QCOMPARE(textOf("{\\rtf1 a\\cell b\\cell\\row c}"), "|a|b|c");
    QCOMPARE(
        textOf("{\\rtf1\\trowd\\cellx500\\intbl x\\par\\itap2 n1\\nestcell n2\\nestcell"
               "{\\*\\nesttableprops\\trowd\\cellx100\\cellx200\\nestrow}\\itap1 \\cell\\row}"),
        "|x|n1|n2||");
}

void TestRtfReader::notRtf() {
    QTextDocument doc;
    doc.setPlainText("kept");
    for (const QByteArray& input :
         {QByteArray(), QByteArray("plain text"), QByteArray("{\\rt"), QByteArray("\\rtf1 x"),
          QByteArray("<html>{\\rtf1}</html>"), QByteArray("{ \\rtf1 spaced}")}) {
        QVERIFY2(!RtfReader::read(input, &doc), input.constData());
        QCOMPARE(doc.toPlainText(), "kept");
    }
    QVERIFY(!RtfReader::read("{\\rtf1}", nullptr));
    // White space and a byte order mark before the header are fine.
    QVERIFY(RtfReader::read("\xEF\xBB\xBF \r\n{\\rtf1 yes}", &doc));
    QCOMPARE(doc.toPlainText(), "yes");
}

void TestRtfReader::malformedInput_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("truncated in text") << QByteArray("{\\rtf1 Hello wor") << "Hello wor";
    QTest::newRow("truncated in a word") << QByteArray("{\\rtf1 Hello\\b") << "Hello";
    QTest::newRow("truncated after backslash") << QByteArray("{\\rtf1 Hello\\") << "Hello";
    QTest::newRow("truncated in hex") << QByteArray("{\\rtf1 Hello\\'e") << "Hello";
    QTest::newRow("bad hex digits") << QByteArray("{\\rtf1 a\\'zzb}") << "azzb";
    QTest::newRow("truncated in a table")
        << QByteArray("{\\rtf1\\trowd\\cellx1000\\intbl a\\cell b") << "|a|b|";
    QTest::newRow("truncated in font table") << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial") << "";
    QTest::newRow("truncated in field")
        << QByteArray("{\\rtf1 a{\\field{\\*\\fldinst HYPER") << "a";
    QTest::newRow("extra closing braces") << QByteArray("{\\rtf1 a}}}b") << "a";
    QTest::newRow("unbalanced inner") << QByteArray("{\\rtf1 a{\\b b}}c}") << "ab";
    QTest::newRow("binary count past the end") << QByteArray("{\\rtf1 a\\bin99999999 xyz") << "a";
    QTest::newRow("negative binary count") << QByteArray("{\\rtf1 a\\bin-5 b}") << "ab";
    QTest::newRow("huge parameters")
        << QByteArray("{\\rtf1\\fs99999999999999999999\\li-99999999999\\f2147483648 "
                      "\\cf2147483647\\ls-3\\ilvl999\\uc99999999 a\\u65 b}")
        << "aA";
    QTest::newRow("long control word")
        << (QByteArray("{\\rtf1 a\\") + QByteArray(100000, 'x') + " b}") << "ab";
    QTest::newRow("NUL and control bytes") << QByteArray("{\\rtf1 a\0b\x01\x1f c}", 15) << "ab c";
    QTest::newRow("color and list references past the tables")
        << QByteArray("{\\rtf1\\cf99\\highlight99\\ls99\\ilvl2 a}") << "a";
    QTest::newRow("leveltext longer than its length")
        << QByteArray(
               "{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'ff\\'00;}}"
               "\\listid1}}{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}\\ls1 a}")
        << "a";
    QTest::newRow("pn outside a paragraph")
        << QByteArray("{\\rtf1{\\*\\pn\\pnlvlblt{\\pntxtb x}}{\\pntxtb y}a}") << "a";
}

void TestRtfReader::malformedInput() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    bool ok = false;
    auto doc = readRtf(rtf, &ok);
    QVERIFY(ok);
    QCOMPARE(blockTexts(*doc).join(u'|'), text);
}

void TestRtfReader::deepNesting() {
    // Far deeper than any stack could recurse: the text inside still shows.
    constexpr int depth = 500000;
    QByteArray rtf = "{\\rtf1 start";
    rtf += QByteArray(depth, '{');
    rtf += "\\b deep";
    rtf += QByteArray(depth, '}');
    rtf += " end}";
    QCOMPARE(textOf(rtf), "startdeep end");

    // The same depth inside a skipped destination costs nothing either.
    rtf = "{\\rtf1 a{\\*\\skipme" + QByteArray(depth, '{') + QByteArray(depth, '}') + "}b}";
    QCOMPARE(textOf(rtf), "ab");

    // Groups that never close.
    rtf = "{\\rtf1 x" + QByteArray(depth, '{') + "y";
    QCOMPARE(textOf(rtf), "xy");
}

void TestRtfReader::hugeInput() {
    // Each of these would take minutes if any step were quadratic.
    QByteArray rtf =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Courier;}}{\\colortbl;\\red9\\green9\\blue9;}";
    constexpr int paragraphs = 40000;
    for (int i = 0; i < paragraphs; ++i)
        rtf += "\\pard\\li720\\sa120 Some {\\b bold}, {\\i\\f1 mono} and {\\cf1 coloured} text "
               "in paragraph number " +
               QByteArray::number(i) + ".\\par\n";
    rtf += "}";
    QVERIFY(rtf.size() > 3'000'000);
    auto doc = readRtf(rtf);
    QCOMPARE(doc->blockCount(), paragraphs);
    QVERIFY(doc->findBlockByNumber(paragraphs - 1).text().endsWith("number 39999."));

    // One paragraph of four megabytes.
    QByteArray one = "{\\rtf1 " + QByteArray(4'000'000, 'a') + "}";
    doc = readRtf(one);
    QCOMPARE(doc->characterCount(), 4'000'001);

    // Many small groups, font and colour definitions, and fields.
    QByteArray groups = "{\\rtf1{\\fonttbl";
    for (int i = 0; i < 50000; ++i)
        groups += "{\\f" + QByteArray::number(i) + " Font" + QByteArray::number(i) + ";}";
    groups += "}{\\colortbl;";
    for (int i = 0; i < 50000; ++i)
        groups += "\\red1\\green2\\blue3;";
    groups += "}";
    for (int i = 0; i < 50000; ++i)
        groups += "{\\f" + QByteArray::number(i) + "\\cf" + QByteArray::number(i) +
                  " x}{\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt y}}";
    groups += "}";
    doc = readRtf(groups);
    QCOMPARE(doc->characterCount(), 100001);

    // Qt compares formats that differ only in lists (tab stops, column widths)
    // one by one; thousands of distinct ones must not make reading quadratic.
    QByteArray lists = "{\\rtf1";
    for (int i = 0; i < 20000; ++i) {
        lists += "\\pard\\tx" + QByteArray::number(i + 10) + " t\\par\\trowd\\cellx" +
                 QByteArray::number(i + 10) + "\\intbl c\\cell\\row\\pard p\\par\n";
    }
    lists += "}";
    doc = readRtf(lists);
    QCOMPARE(doc->blockCount(), 60000);

    // A long table.
    QByteArray table = "{\\rtf1";
    for (int i = 0; i < 5000; ++i)
        table += "\\trowd\\cellx1000\\cellx2000\\clvmgf\\cellx3000\\pard\\intbl a\\cell b\\cell "
                 "c\\cell\\row\n";
    table += "}";
    doc = readRtf(table);
    QTextTable* t = firstTable(*doc);
    QVERIFY(t);
    QCOMPARE(t->rows(), 5000);
}

void TestRtfReader::loadLeavesNothingToUndo() {
    QTextDocument doc;
    doc.setUndoRedoEnabled(true);
    QTextCursor(&doc).insertText("typed");
    QVERIFY(doc.isUndoAvailable());
    QVERIFY(RtfReader::read("{\\rtf1 loaded}", &doc));
    QCOMPARE(doc.toPlainText(), "loaded");
    QVERIFY(!doc.isUndoAvailable());
    QVERIFY(doc.isUndoRedoEnabled());
}

void TestRtfReader::pictures_data() {
    // The expected size is in twips; samplePicture(40, 20) is 600 x 300 at 96 DPI.
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<int>("count");
    QTest::addColumn<QSize>("twips");
    const QByteArray png = pngHex(40, 20);
    const QByteArray other = pngHex(8, 8);
    QTest::newRow("shppict with its nonshppict twin")
        << withText("{\\*\\shppict{\\pict{\\*\\picprop{\\sp{\\sn a}{\\sv 1}}}\\pngblip"
                    "\\picw40\\pich20\\picwgoal1200\\pichgoal600{\\*\\blipuid 00ff}" +
                    png + "}}{\\nonshppict{\\pict\\pngblip " + other + "}}")
        << 1 << QSize(1200, 600);
    QTest::newRow("nonshppict alone")
        << withText("{\\nonshppict{\\pict\\pngblip " + png + "}}") << 1 << QSize(600, 300);
    QTest::newRow("bare pict, digits across lines")
        << withText("{\\pict\\pngblip\\picwgoal900\\pichgoal450\r\n" + png.left(50) + "\r\n" +
                    png.mid(50) + "}")
        << 1 << QSize(900, 450);
    QTest::newRow("jpeg") << withText("{\\pict\\jpegblip " +
                                      hex(encoded(samplePicture(30, 30), "JPEG")) + "}")
                          << 1 << QSize(450, 450);
    QTest::newRow("binary data") << withText("{\\pict\\pngblip\\bin" +
                                             QByteArray::number(
                                                 encoded(samplePicture(40, 20), "PNG").size()) +
                                             " " + encoded(samplePicture(40, 20), "PNG") + "}")
                                 << 1 << QSize(600, 300);
    QTest::newRow("scaled") << withText("{\\pict\\pngblip\\picscalex50\\picscaley200"
                                        "\\picwgoal1200\\pichgoal600 " +
                                        png + "}")
                            << 1 << QSize(600, 1200);
    QTest::newRow("twice, one resource")
        << withText("{\\pict\\pngblip " + png + "}{\\pict\\pngblip " + png + "}") << 2
        << QSize(600, 300);
    QTest::newRow("metafile") << withText("{\\pict\\wmetafile8\\picw40\\pich20 010009000003}") << 0
                              << QSize();
    QTest::newRow("dib") << withText("{\\pict\\dibitmap0 " + png + "}") << 0 << QSize();
    QTest::newRow("no kind") << withText("{\\pict " + png + "}") << 0 << QSize();
    QTest::newRow("says png, is not")
        << withText("{\\pict\\pngblip 00112233445566778899}") << 0 << QSize();
    QTest::newRow("hidden") << withText("{\\v{\\pict\\pngblip " + png + "}}") << 0 << QSize();
}

void TestRtfReader::pictures() {
    QFETCH(QByteArray, rtf);
    QFETCH(int, count);
    QFETCH(QSize, twips);
    auto doc = readRtf(rtf);
    const QString text = doc->toPlainText().remove(QChar::ObjectReplacementCharacter);
    QCOMPARE(text, "before  after");
    const QList<ShownPicture> pictures = picturesOf(*doc);
    QCOMPARE(pictures.size(), count);
    for (const ShownPicture& picture : pictures) {
        QCOMPARE(QSize(qRound(picture.size.width() * 15), qRound(picture.size.height() * 15)),
                 twips);
        QVERIFY(!picture.image.isNull());
    }
    if (count > 0 && QTest::currentDataTag() != QByteArray("jpeg")) {
        const QImage expected =
            samplePicture(pictures[0].image.width(), pictures[0].image.height());
        QCOMPARE(pictures[0].image, expected);
    }
}

void TestRtfReader::hostilePictures_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    const QByteArray png = pngHex(40, 20);
    QTest::newRow("ends inside the data")
        << ("{\\rtf1 before {\\pict\\pngblip " + png.left(png.size() / 2)) << "before " << 0;
    QTest::newRow("ends inside a picture property")
        << ("{\\rtf1 before {\\pict{\\*\\picprop{\\sp{\\sn" + png) << "before " << 0;
    QTest::newRow("odd digit count")
        << withText("{\\pict\\pngblip " + png + "f}") << "before  after" << 1;
    QTest::newRow("stray characters in the data")
        << withText("{\\pict\\pngblip " + png.left(20) + "xyz;" + png.mid(20) + "}")
        << "before  after" << 1;
    QTest::newRow("binary count past the end")
        << ("{\\rtf1 before {\\pict\\pngblip\\bin2147483647 " +
            encoded(samplePicture(4, 4), "PNG") + "}} after")
        << "before " << 0;
    QTest::newRow("negative binary count")
        << withText("{\\pict\\pngblip\\bin-9 " + png + "}") << "before  after" << 1;
    QTest::newRow("huge sizes") << withText("{\\pict\\pngblip\\picw2147483647\\pich-2147483648"
                                            "\\picwgoal99999999999\\pichgoal-5\\picscalex2147483647"
                                            "\\picscaley0 " +
                                            png + "}")
                                << "before  after" << 1;
    QTest::newRow("picture in a picture")
        << withText("{\\pict\\pngblip{\\pict\\pngblip " + png + "}" + png + "}") << "before  after"
        << 1;
    QTest::newRow("second pict word in the group")
        << withText("{\\pict\\pngblip\\pict " + png + "}") << "before  after" << 0;
    QTest::newRow("field inside the picture")
        << withText("{\\pict\\pngblip\\field " + png + "}{\\pict\\pngblip " + png + "}")
        << "before  after" << 1;
    QTest::newRow("pict in the document's own group")
        << QByteArray("{\\rtf1 a\\pict\\pngblip b}") << "ab" << 0;
    QTest::newRow("declares more pixels than a picture may have")
        << withText("{\\pict\\pngblip " + hex(pngHeaderOnly(10000, 10000)) + "}") << "before  after"
        << 0;
    QTest::newRow("declares an empty picture")
        << withText("{\\pict\\pngblip " + hex(pngHeaderOnly(0, 5)) + "}") << "before  after" << 0;
}

void TestRtfReader::hostilePictures() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(int, count);
    auto doc = readRtf(rtf);
    QCOMPARE(doc->toPlainText().remove(QChar::ObjectReplacementCharacter), text);
    const QList<ShownPicture> pictures = picturesOf(*doc);
    QCOMPARE(pictures.size(), count);
    for (const ShownPicture& picture : pictures) {
        // Whatever the file says, the picture is drawn no larger than a page.
        QVERIFY(picture.size.width() >= 1.0 / 15 && picture.size.width() <= maxTwips / 15.0);
        QVERIFY(picture.size.height() >= 1.0 / 15 && picture.size.height() <= maxTwips / 15.0);
        QCOMPARE(picture.image, samplePicture(40, 20));
    }
}

void TestRtfReader::pictureLimits() {
    // One picture's data past its limit is dropped whole; the text after it stays.
    QByteArray big = encoded(samplePicture(4, 4), "PNG");
    big += QByteArray(maxPictureBytes + 1 - big.size(), '\0');
    auto doc = readRtf(withText("{\\pict\\pngblip " + hex(big) + "}"));
    QCOMPARE(doc->toPlainText(), "before  after");
    doc = readRtf(
        withText("{\\pict\\pngblip\\bin" + QByteArray::number(big.size()) + " " + big + "}"));
    QCOMPARE(doc->toPlainText(), "before  after");
    // ... while one just within it is kept (Qt's PNG reader ignores what
    // follows the image).
    big.chop(1);
    doc = readRtf(
        withText("{\\pict\\pngblip\\bin" + QByteArray::number(big.size()) + " " + big + "}"));
    QCOMPARE(picturesOf(*doc).size(), 1);

    // Declared pixels add up over the document: two of 36 megapixels fit, the
    // third does not; the same picture again costs nothing.
    QByteArray rtf = "{\\rtf1 ";
    for (int i = 0; i < 3; ++i)
        rtf += "{\\pict\\pngblip " + hex(pngHeaderOnly(6000 + i, 6000)) + "}";
    rtf += "{\\pict\\pngblip " + hex(pngHeaderOnly(6000, 6000)) + "}}";
    doc = readRtf(rtf);
    QCOMPARE(doc->toPlainText(), QString(3, QChar::ObjectReplacementCharacter));

    // Distinct pictures are counted.
    rtf = "{\\rtf1 ";
    for (int i = 0; i < maxDocumentPictures + 5; ++i)
        rtf += "{\\pict\\pngblip " + hex(pngHeaderOnly(1 + i, 1)) + "}";
    rtf += "end}";
    doc = readRtf(rtf);
    QCOMPARE(doc->toPlainText(),
             QString(maxDocumentPictures, QChar::ObjectReplacementCharacter) + "end");
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
