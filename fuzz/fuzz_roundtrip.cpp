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
    for (const QString& name : {QStringLiteral("a.json"), QStringLiteral("a.jsonl")}) {
        if (auto relaxed = Document::documentFromBytes(bytes, Document::Reading::Relaxed, name)) {
            auto relaxedText = (*relaxed)->root()->jsonText();
            if (!relaxedText)
                abort();
            auto strict = Document::documentFromBytes(*relaxedText);
            if (!strict || (*strict)->root()->jsonText().value_or("") != *relaxedText)
                abort();
        }
    }
    auto loaded = Document::documentFromBytes(bytes);
    if (!loaded)
        return 0;
    std::unique_ptr<Document> doc = std::move(*loaded);
    // Whatever was accepted writes, and its text reads back to the same text.
    auto text = doc->root()->jsonText();
    if (!text)
        abort();
    auto again = Document::documentFromBytes(*text);
    if (!again)
        abort();
    auto text2 = (*again)->root()->jsonText();
    if (!text2 || *text2 != *text)
        abort();
    // The other walks over the whole tree, and the archive round trip.
    (void)doc->root()->description();
    SearchSettings search;
    search.text = QStringLiteral("a");
    FilterPass::run(doc->root(), NodeMatcher(search));
    QByteArray cbor = doc->root()->encode();
    auto decoded = TreeNode::decode(cbor);
    if (!decoded || (*decoded)->jsonText().value_or("") != *text)
        abort();
    return 0;
}
