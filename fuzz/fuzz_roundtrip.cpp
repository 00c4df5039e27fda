// Any bytes: reading must not crash; a document it accepts must write, read back and write to the same text,
// and survive its description, a filter pass and the archive round trip. Relaxed reading must not crash either,
// and what it accepts is written as text the strict reader reads back to the same text.
//
// Build with clang: CXX=clang++ cmake -B build/fuzz -G Ninja -DBRACKWELL_FUZZ=ON; then
// build/fuzz/bin/fuzz_roundtrip CORPUS_DIR (seed it with ../shared/testdata/JSONTestSuite/test_parsing/y_*).
#include "model/Document.h"
#include "model/FilterPass.h"
#include "model/SearchSettings.h"

#include <QCoreApplication>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char arg0[] = "fuzz";
    static char* argv[] = {arg0, nullptr};
    // The trees' notifications and the documents are Qt objects, which want an application object; one for the
    // whole run.
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    Q_UNUSED(app);
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ParseError error;
    for (const QString& name : {QStringLiteral("a.json"), QStringLiteral("a.jsonl")}) {
        if (auto relaxed = Document::documentFromBytes(bytes, &error, Document::Reading::Relaxed, name)) {
            auto relaxedText = relaxed->root()->jsonText();
            auto strict = relaxedText ? Document::documentFromBytes(*relaxedText, &error) : nullptr;
            if (!strict || strict->root()->jsonText() != relaxedText)
                abort();
        }
    }
    auto doc = Document::documentFromBytes(bytes, &error);
    if (!doc)
        return 0;
    // Whatever was accepted writes, and its text reads back to the same text.
    auto text = doc->root()->jsonText();
    if (!text)
        abort();
    auto again = Document::documentFromBytes(*text, &error);
    if (!again)
        abort();
    auto text2 = again->root()->jsonText();
    if (!text2 || *text2 != *text)
        abort();
    // The other walks over the whole tree, and the archive round trip.
    (void)doc->root()->description();
    SearchSettings search;
    search.text = QStringLiteral("a");
    FilterPass::run(doc->root(), NodeMatcher(search));
    QByteArray cbor = doc->root()->encode();
    auto decoded = TreeNode::decode(cbor);
    if (!decoded || decoded->jsonText() != text)
        abort();
    return 0;
}
