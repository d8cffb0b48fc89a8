#include "pdf_words.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>

namespace tallyprint_test {
namespace {

std::string Unescape(QString text) {
    text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&apos;", "'");
    text.replace("&amp;", "&");
    return text.toStdString();
}

}  // namespace

const PdfWord* PdfText::Find(const std::string& text) const {
    for (const PdfWord& word : words) {
        if (word.text == text) {
            return &word;
        }
    }
    return nullptr;
}

std::string PdftotextPath() { return QStandardPaths::findExecutable("pdftotext").toStdString(); }

bool ReadPdfWords(const std::string& pdfPath, PdfText* out, std::string* why) {
    const std::string tool = PdftotextPath();
    if (tool.empty()) {
        *why = "pdftotext is not installed (package poppler-utils)";
        return false;
    }
    QProcess process;
    process.start(QString::fromStdString(tool), {"-bbox", QString::fromStdString(pdfPath), "-"});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *why =
            "pdftotext failed on " + pdfPath + ": " + process.readAllStandardError().toStdString();
        return false;
    }
    const QString xhtml = QString::fromUtf8(process.readAllStandardOutput());

    static const QRegularExpression pageTag(R"re(<page width="([0-9.]+)" height="([0-9.]+)">)re");
    static const QRegularExpression wordTag(
        R"re(<word xMin="([0-9.\-]+)" yMin="([0-9.\-]+)" xMax="([0-9.\-]+)" yMax="([0-9.\-]+)">([^<]*)</word>)re");

    *out = PdfText();
    // Walk pages and words in document order so each word knows its page.
    static const QRegularExpression either(pageTag.pattern() + "|" + wordTag.pattern());
    auto it = either.globalMatch(xhtml);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty()) {
            ++out->pages;
            if (out->pages == 1) {
                out->pageWidth = m.captured(1).toDouble();
                out->pageHeight = m.captured(2).toDouble();
            }
            continue;
        }
        PdfWord word;
        word.page = out->pages;
        word.xMin = m.captured(3).toDouble();
        word.yMin = m.captured(4).toDouble();
        word.xMax = m.captured(5).toDouble();
        word.yMax = m.captured(6).toDouble();
        word.text = Unescape(m.captured(7));
        out->words.push_back(word);
    }
    return true;
}

}  // namespace tallyprint_test
