#pragma once
// The readers behind Workbook::open, one per format. Each fills a Workbook
// or returns null with error and failure set.
#include <QByteArray>
#include <QIODevice>
#include <functional>
#include <memory>

#include "exchange/sheet/Workbook.h"
#include "exchange/sheet/ZipParts.h"

namespace sheet::detail {

struct ReadContext {
    Limits limits;
    ProgressMeter* meter = nullptr;
    QString* error = nullptr;
    Failure* failure = nullptr;
    bool generalXmlOnly = false;
    qint64 twoThreadsFrom = 8LL << 20;
    // Opens the workbook anew, for a second thread to read another part of
    // it at the same time; null when it cannot.
    std::function<std::unique_ptr<QIODevice>()> reopen;

    std::nullptr_t fail(Failure f, const QString& why) const {
        if (failure && *failure == Failure::None) *failure = f;
        if (error && error->isEmpty()) *error = why;
        return nullptr;
    }
};

std::unique_ptr<Workbook> readXlsx(ZipParts& zip, const QString& workbookPart, const ReadContext& cx);
std::unique_ptr<Workbook> readOds(ZipParts& zip, const ReadContext& cx);
// data: the whole file, already read (the compound file is checked first).
std::unique_ptr<Workbook> readXls(const QByteArray& data, const ReadContext& cx);
std::unique_ptr<Workbook> readText(const QByteArray& data, const ReadContext& cx);

// The main workbook part of an .xlsx package, found through its
// relationships; empty when the package has none.
QString xlsxWorkbookPart(ZipParts& zip, const Limits& limits);

// Resolves a relationship target against the folder of the part that names it.
QString resolvePartPath(const QString& fromPart, const QString& target);

// "_x000D_" and the like, as OOXML escapes characters in strings.
QString decodeXmlEscapes(const QString& s);

}  // namespace sheet::detail
