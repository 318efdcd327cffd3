#pragma once
// Reading a PDF back the way another program would: its page count and
// size from pdfinfo, and every word with its box from pdftotext -bbox
// (poppler-utils). Boxes are in points (1/72 inch) from the page's top-left.
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QTextDocumentFragment>
#include <QVector>

namespace pdftext {

struct Word {
    int page = 0;   // from 1
    QRectF box;     // points
    QString text;
};

inline bool available() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

inline QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QString info(const QString& path, const QString& key) {
    const QString out = run(QStringLiteral("pdfinfo"), {path});
    const QRegularExpression re(QStringLiteral("^") + QRegularExpression::escape(key) + QStringLiteral(":\\s*(.*)$"),
                                QRegularExpression::MultilineOption);
    const auto m = re.match(out);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

inline int pages(const QString& path) {
    bool ok = false;
    const int n = info(path, QStringLiteral("Pages")).toInt(&ok);
    return ok ? n : -1;
}

// "595 x 842 pts (A4)" -> 595 x 842.
inline QSizeF pageSize(const QString& path) {
    const auto m = QRegularExpression(QStringLiteral("([0-9.]+) x ([0-9.]+) pts"))
                       .match(info(path, QStringLiteral("Page size")));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

inline QVector<Word> words(const QString& path) {
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    QVector<Word> out;
    int page = 0;
    static const QRegularExpression tag(
        QStringLiteral("<page |<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" xMax=\"([-0-9.]+)\" "
                       "yMax=\"([-0-9.]+)\">([^<]*)</word>"));
    auto it = tag.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        Word w;
        w.page = page;
        w.box = QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                       QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
        w.text = QTextDocumentFragment::fromHtml(m.captured(5)).toPlainText();
        out << w;
    }
    return out;
}

// Words of one page.
inline QVector<Word> onPage(const QVector<Word>& all, int page) {
    QVector<Word> out;
    for (const Word& w : all)
        if (w.page == page) out << w;
    return out;
}

// The first word reading text (on page, when given), or nullptr.
inline const Word* find(const QVector<Word>& all, const QString& text, int page = 0) {
    for (const Word& w : all)
        if (w.text == text && (page == 0 || w.page == page)) return &w;
    return nullptr;
}

constexpr double kPtPerPx = 72.0 / 96.0;
constexpr double kMmPerPt = 25.4 / 72.0;

}  // namespace pdftext
