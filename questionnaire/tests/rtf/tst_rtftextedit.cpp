// The answer box: RTF as its user property, loading that is not editing, and
// pasting from word processors, web pages and plain-text sources, pictures
// included.
#include <QtTest>

#include "rtftestsupport.h"
#include "rtftextedit.h"

#include <QDataWidgetMapper>
#include <QAbstractTextDocumentLayout>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>

using namespace quill::rtf;
using namespace quill::rtf::testing;

namespace {

// Opens the paste entry points a test needs to call directly.
class PasteEdit : public RtfTextEdit {
public:
    using RtfTextEdit::canInsertFromMimeData;
    using RtfTextEdit::createMimeDataFromSelection;
    using RtfTextEdit::insertFromMimeData;
};

bool boldAt(const QTextDocument& doc, const QString& word) {
    QTextCursor c = doc.find(word);
    return !c.isNull() && c.charFormat().fontWeight() >= QFont::DemiBold;
}

const QByteArray sampleRtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Stored "
                             "{\\b answer}\\par}";

} // namespace

class TestRtfTextEdit : public QObject {
    Q_OBJECT

private slots:
    void rtfIsTheUserProperty();
    void loadingIsNotEditing();
    void editingRewrites();
    void bytesThatAreNotRtfShowAsText();
    void mapperStoresRtf();
    void pasteFromWordProcessor_data();
    void pasteFromWordProcessor();
    void pasteFromWebPage();
    void pastePlainText();
    void copyOffersRtf();
    void pastePicture_data();
    void pastePicture();
    void picturesThroughRtfClipboard();
    void longAnswerAfterLongAnswer();
};

void TestRtfTextEdit::rtfIsTheUserProperty() {
    const QMetaProperty user = RtfTextEdit::staticMetaObject.userProperty();
    QCOMPARE(user.name(), "rtf");
    QCOMPARE(user.metaType(), QMetaType::fromType<QByteArray>());
    QVERIFY(user.hasNotifySignal());
}

void TestRtfTextEdit::loadingIsNotEditing() {
    RtfTextEdit edit;
    QSignalSpy changed(&edit, &RtfTextEdit::rtfChanged);
    edit.setRtf(sampleRtf);
    QCOMPARE(edit.toPlainText(), "Stored answer");
    QVERIFY(boldAt(*edit.document(), "answer"));
    QVERIFY(!edit.document()->isModified());
    QVERIFY(!edit.document()->isUndoAvailable());
    QVERIFY(changed.count() >= 1);
    // Looked at, not edited: what is handed back is what was stored, byte for
    // byte, so a binding that submits anyway rewrites nothing.
    QCOMPARE(edit.rtf(), sampleRtf);
    QCOMPARE(edit.property("rtf").toByteArray(), sampleRtf);
}

void TestRtfTextEdit::editingRewrites() {
    RtfTextEdit edit;
    edit.setRtf(sampleRtf);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.moveCursor(QTextCursor::End);
    QSignalSpy changed(&edit, &RtfTextEdit::rtfChanged);
    QTest::keyClicks(&edit, " edited");
    QVERIFY(changed.count() > 0);
    QVERIFY(edit.document()->isModified());
    const QByteArray rtf = edit.rtf();
    QVERIFY(rtf.startsWith("{\\rtf1"));
    auto back = readRtf(rtf);
    QCOMPARE(back->toPlainText(), "Stored answer edited");
    QVERIFY(boldAt(*back, "answer"));

    // Undoing back to what was loaded hands back the stored bytes again.
    while (edit.document()->isUndoAvailable())
        edit.undo();
    QVERIFY(!edit.document()->isModified());
    QCOMPARE(edit.toPlainText(), "Stored answer");

    // A second load starts afresh.
    edit.setRtf("{\\rtf1 other}");
    QCOMPARE(edit.rtf(), QByteArray("{\\rtf1 other}"));
    QVERIFY(!edit.document()->isModified());
}

void TestRtfTextEdit::bytesThatAreNotRtfShowAsText() {
    RtfTextEdit edit;
    const QByteArray stored = "an answer saved as plain text {with braces} and caf\xc3\xa9";
    edit.setRtf(stored);
    QCOMPARE(edit.toPlainText(), QString::fromUtf8(stored));
    QVERIFY(!edit.document()->isModified());
    QCOMPARE(edit.rtf(), stored);

    edit.setRtf(QByteArray());
    QCOMPARE(edit.toPlainText(), QString());
    QCOMPARE(edit.rtf(), QByteArray());
}

void TestRtfTextEdit::mapperStoresRtf() {
    // A widget mapper reads and writes the user property: RTF, not HTML.
    QStandardItemModel model(2, 1);
    model.setData(model.index(0, 0), sampleRtf);
    model.setData(model.index(1, 0), QByteArray("{\\rtf1 second}"));
    RtfTextEdit edit;
    QDataWidgetMapper mapper;
    mapper.setModel(&model);
    mapper.setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    mapper.addMapping(&edit, 0);
    mapper.toFirst();
    QCOMPARE(edit.toPlainText(), "Stored answer");
    QVERIFY(mapper.submit());
    QCOMPARE(model.data(model.index(0, 0)).toByteArray(), sampleRtf); // untouched

    QTextCursor start(edit.document());
    start.insertText("New ");
    QVERIFY(mapper.submit());
    const QByteArray stored = model.data(model.index(0, 0)).toByteArray();
    QVERIFY(stored.startsWith("{\\rtf1"));
    QCOMPARE(readRtf(stored)->toPlainText(), "New Stored answer");

    mapper.toNext();
    QCOMPARE(edit.toPlainText(), "second");
    QVERIFY(!edit.document()->isModified());
}

void TestRtfTextEdit::pasteFromWordProcessor_data() {
    QTest::addColumn<QString>("mimeType");
    QTest::newRow("text/rtf") << "text/rtf";
    QTest::newRow("application/rtf") << "application/rtf";
}

void TestRtfTextEdit::pasteFromWordProcessor() {
    QFETCH(QString, mimeType);
    PasteEdit edit;
    edit.setPlainText("Answer: ");
    edit.moveCursor(QTextCursor::End);
    QMimeData mime;
    mime.setData(mimeType, fixture("minimal_editor.rtf"));
    mime.setText("the plain version"); // word processors offer both
    QVERIFY(edit.canInsertFromMimeData(&mime));
    edit.insertFromMimeData(&mime);
    QVERIFY(edit.toPlainText().startsWith("Answer: Plain paragraph with bold"));
    QVERIFY(boldAt(*edit.document(), "bold"));
    QVERIFY(edit.toPlainText().contains("Café € 100"));
    QVERIFY(!edit.toPlainText().contains("the plain version"));
    QTextCursor red = edit.document()->find("Red text");
    QCOMPARE(red.charFormat().foreground().color(), QColor(255, 0, 0));
    QVERIFY(edit.document()->isUndoAvailable()); // a paste is an edit
}

void TestRtfTextEdit::pasteFromWebPage() {
    PasteEdit edit;
    QMimeData mime;
    mime.setHtml("<p>From the <b>web</b> with <i>style</i></p><ul><li>one</li></ul>");
    mime.setText("From the web with style\none");
    QVERIFY(edit.canInsertFromMimeData(&mime));
    edit.insertFromMimeData(&mime);
    QVERIFY(boldAt(*edit.document(), "web"));
    QVERIFY(edit.document()->find("one").block().textList());
    // ... and it is stored as RTF like anything typed.
    auto back = readRtf(edit.rtf());
    QVERIFY(boldAt(*back, "web"));
    QVERIFY(back->find("one").block().textList());
}

void TestRtfTextEdit::pastePlainText() {
    PasteEdit edit;
    edit.setRtf(sampleRtf);
    QTextCursor c = edit.document()->find("answer"); // bold text
    c.clearSelection();
    edit.setTextCursor(c);
    QMimeData mime;
    mime.setText("{\\rtf1 {\\b looks} like RTF}<b>and HTML</b>");
    QVERIFY(edit.canInsertFromMimeData(&mime));
    edit.insertFromMimeData(&mime);
    // Taken as the characters it is, in the formatting where it lands.
    QCOMPARE(edit.toPlainText(), "Stored answer{\\rtf1 {\\b looks} like RTF}<b>and HTML</b>");
    QVERIFY(boldAt(*edit.document(), "like RTF"));
}

void TestRtfTextEdit::copyOffersRtf() {
    PasteEdit edit;
    edit.setRtf(sampleRtf);
    edit.selectAll();
    std::unique_ptr<QMimeData> mime(edit.createMimeDataFromSelection());
    QVERIFY(mime->hasFormat("text/rtf"));
    auto copied = readRtf(mime->data("text/rtf"));
    QCOMPARE(copied->toPlainText(), "Stored answer");
    QVERIFY(boldAt(*copied, "answer"));
    QCOMPARE(mime->text(), "Stored answer");
}

void TestRtfTextEdit::pastePicture_data() {
    // How the picture reaches the clipboard, and whether its JPEG bytes must
    // survive as they are.
    QTest::addColumn<QString>("source");
    QTest::newRow("image/png") << "image/png";
    QTest::newRow("image/jpeg") << "image/jpeg";
    QTest::newRow("decoded image") << "image";
    QTest::newRow("html data url") << "data";
    QTest::newRow("html local file") << "file";
    QTest::newRow("html file url") << "fileurl";
}

void TestRtfTextEdit::pastePicture() {
    QFETCH(QString, source);
    const QImage image = samplePicture(36, 24);
    const QByteArray png = encoded(image, "PNG");
    const QByteArray jpeg = encoded(image, "JPEG");
    QTemporaryDir dir;
    const QString path = dir.filePath("pasted.png");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(png);
    file.close();

    QMimeData mime;
    if (source == "image/png" || source == "image/jpeg") {
        mime.setData(source, source == "image/png" ? png : jpeg);
        // Browsers put HTML beside the picture that only names where it came from.
        mime.setHtml("<img src=\"https://example.org/remote.png\">");
    } else if (source == "image") {
        mime.setImageData(image);
    } else {
        const QString src = source == "data"   ? "data:image/png;base64," + png.toBase64()
                            : source == "file" ? path
                                               : QUrl::fromLocalFile(path).toString();
        mime.setHtml("<p>From <b>there</b>: <img src=\"" + src + "\"> done</p>");
    }

    PasteEdit edit;
    edit.setRtf(sampleRtf);
    edit.moveCursor(QTextCursor::End);
    QVERIFY(edit.canInsertFromMimeData(&mime));
    edit.insertFromMimeData(&mime);
    QCOMPARE(picturesOf(*edit.document()).size(), 1);

    // What is stored reads back with the picture, at its own size, and the text.
    const QByteArray stored = edit.rtf();
    QVERIFY(stored.contains(source == "image/jpeg" ? "\\jpegblip" : "\\pngblip"));
    auto back = readRtf(stored);
    QVERIFY(back->toPlainText().startsWith("Stored answer"));
    const QList<ShownPicture> pictures = picturesOf(*back);
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(pictures[0].size, QSizeF(36, 24));
    if (source == "image/jpeg")
        QCOMPARE(pictures[0].bytes, jpeg);
    else
        QCOMPARE(pictures[0].image, image);

    // Shown again after a restart: the stored bytes come back unchanged until edited.
    PasteEdit again;
    again.setRtf(stored);
    QCOMPARE(picturesOf(*again.document()).size(), 1);
    QCOMPARE(again.rtf(), stored);
}

void TestRtfTextEdit::picturesThroughRtfClipboard() {
    // Copying a picture offers it in the RTF; pasting that RTF elsewhere keeps it.
    const QImage image = samplePicture(20, 20);
    PasteEdit from;
    from.setRtf("{\\rtf1 a{\\pict\\pngblip " + encoded(image, "PNG").toHex() + "}b}");
    from.selectAll();
    std::unique_ptr<QMimeData> mime(from.createMimeDataFromSelection());
    QVERIFY(mime->data("text/rtf").contains("\\pngblip"));

    PasteEdit to;
    to.insertFromMimeData(mime.get());
    QCOMPARE(to.toPlainText(), QString("a\uFFFCb"));
    const QList<ShownPicture> pictures = picturesOf(*readRtf(to.rtf()));
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(pictures[0].image, image);

    // A picture past the limits is not pasted, and nothing else changes.
    QMimeData huge;
    huge.setImageData(QImage(8000, 8000, QImage::Format_Mono));
    to.insertFromMimeData(&huge);
    QCOMPARE(to.toPlainText(), QString("a\uFFFCb"));

    // Nor is one whose data is elsewhere: it would be lost when stored.
    QMimeData remote;
    remote.setHtml("<p>x<img src=\"https://example.org/a.png\">y</p>");
    PasteEdit web;
    web.insertFromMimeData(&remote);
    QCOMPARE(web.toPlainText(), "xy");
}

// One long answer shown after another is laid out at the page width it is shown at, never
// first at the width the box has without its scroll bar; a short one afterwards needs no bar.
void TestRtfTextEdit::longAnswerAfterLongAnswer() {
    const auto answer = [](int paragraphs, const char* word) {
        QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
        for (int i = 0; i < paragraphs; ++i)
            rtf += QByteArray(word) + " " + QByteArray::number(i) + " of a long answer.\\par\n";
        return rtf + "}";
    };
    RtfTextEdit edit;
    edit.resize(300, 120);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.setRtf(answer(60, "First"));
    QVERIFY(edit.verticalScrollBar()->isVisible());
    const qreal width = edit.document()->pageSize().width();

    QList<qreal> widths;
    connect(edit.document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged,
            &edit, [&] { widths.append(edit.document()->pageSize().width()); });
    edit.setRtf(answer(60, "Second"));
    QVERIFY(!widths.isEmpty());
    for (const qreal w : std::as_const(widths))
        QCOMPARE(w, width);
    QVERIFY(edit.verticalScrollBar()->isVisible());
    QVERIFY(edit.toPlainText().startsWith(QLatin1String("Second 0")));

    edit.setRtf(answer(1, "Short"));
    QVERIFY(!edit.verticalScrollBar()->isVisible());
    QVERIFY(edit.document()->pageSize().width() > width);
    QCOMPARE(edit.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

QTEST_MAIN(TestRtfTextEdit)
#include "tst_rtftextedit.moc"
