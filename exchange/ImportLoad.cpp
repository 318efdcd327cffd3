#include "exchange/ImportLoad.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include "app/U_data.h"
#include "app/db/SqlTokens.h"
#include "app/db/Statement.h"
#include "app/db/Transaction.h"
#include "exchange/ExportLayout.h"
#include "exchange/Progress.h"

QStringList sheetHeaders(const sheet::Worksheet& s) {
    QStringList out;
    for (int c = 1; c <= s.columnCount(); ++c) {
        QString h = s.valueText(1, c).left(kHeaderChars);
        // A header is a name to pair columns by: a character no engine stores
        // (a NUL, or half a pair the cut above split) is left out of it.
        for (int at = db::unstorableAt(h); at >= 0; at = db::unstorableAt(h)) h.remove(at, 1);
        out << h;
    }
    return out;
}

void captureHeaders(TFrm_Data* data, const QStringList& headers) {
    db::TransactionGuard guard(*data->Connection);
    data->Qry_Del->setSql(QStringLiteral("delete from T_Temp"));
    data->Qry_Del->execSql();
    db::Query* t = data->Qry_Temp;
    t->close();
    t->setSql(QStringLiteral("select * from T_Temp"));
    t->open();
    for (int i = 0; i < headers.size(); ++i) {
        t->append();
        t->setValue(QStringLiteral("S_Field"), headers[i]);
        t->setValue(QStringLiteral("CellID"), i + 1);
        db::postOrCancel(t);
    }
    guard.commit();
}

namespace {

QString norm(const QString& s) { return s.trimmed().toCaseFolded(); }

// The names a mapping row answers to.
QSet<QString> namesOf(const QString& table, const MappingRow& r) {
    QSet<QString> n;
    n << norm(r.column) << norm(r.displayName);
    for (const ExportColumn& c : layoutOf(table))
        if (c.field.compare(r.column, Qt::CaseInsensitive) == 0) n << norm(c.title);
    // On the customer side Name is the contact person: the contact export's title fits it.
    if (r.column.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0)
        for (const ExportColumn& c : contactLayout())
            if (c.field == QLatin1String("Name")) n << norm(c.title);
    n.remove(QString());
    return n;
}

}  // namespace

QStringList pairHeaders(const QString& table, const QList<MappingRow>& rows, const QStringList& headers) {
    QStringList out(rows.size());
    QList<bool> rowDone(rows.size(), false);
    QList<bool> colUsed(headers.size(), false);
    QList<QSet<QString>> names;
    for (const MappingRow& r : rows) names << namesOf(table, r);
    // By name first, in column order: each header pairs with the first free row it names.
    for (int c = 0; c < headers.size(); ++c) {
        const QString h = norm(headers[c]);
        if (h.isEmpty()) continue;
        for (int j = 0; j < rows.size(); ++j) {
            if (rowDone[j] || !names[j].contains(h)) continue;
            out[j] = headers[c];
            rowDone[j] = true;
            colUsed[c] = true;
            break;
        }
    }
    // Then by position, where that column is still free.
    for (int j = 0; j < rows.size(); ++j) {
        if (rowDone[j] || j >= headers.size() || colUsed[j]) continue;
        out[j] = headers[j];
        colUsed[j] = true;
    }
    return out;
}

void prePair(TFrm_Data* data, const QString& table, const QStringList& headers) {
    db::Query* q = data->Qry_Import;
    q->close();
    q->setSql(db::Statement(QStringLiteral("select * from T_Import where tablename=:table order by ImportID"))
                  .bind(QStringLiteral("table"), table));
    q->open();
    QList<MappingRow> rows;
    for (q->first(); !q->eof(); q->next())
        rows << MappingRow{q->asString(QStringLiteral("S_Field")), q->asString(QStringLiteral("FieldName"))};
    const QStringList pairs = pairHeaders(table, rows, headers);
    db::TransactionGuard guard(*data->Connection);
    int j = 0;
    for (q->first(); !q->eof() && j < pairs.size(); q->next(), ++j) {
        q->edit();
        q->setValue(QStringLiteral("F_Field"), pairs[j]);
        db::postOrCancel(q);
    }
    guard.commit();
}

QHash<QString, int> readHeaderColumns(TFrm_Data* data) {
    QHash<QString, int> out;
    db::Query q(data->Connection);
    q.setSql(QStringLiteral("select * from T_Temp"));
    q.open();
    for (q.first(); !q.eof(); q.next()) {
        const QString h = q.asString(QStringLiteral("S_Field"));
        if (!out.contains(h)) out.insert(h, int(q.field(QStringLiteral("CellID")).asInteger()));
    }
    return out;
}

std::shared_ptr<ImportSource> loadImport(const QString& path, const QString& table, QString* error,
                                          const sheet::OpenOptions& options) {
    error->clear();
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    sheet::OpenOptions opt = options;
    Progress progress(QStringLiteral("Reading %1 ...").arg(QFileInfo(path).fileName()), 1000);
    opt.progress = [&](qint64 done, qint64 total) {
        progress.setMaximum(total);
        const bool go = progress.step(done);
        return go && (!options.progress || options.progress(done, total));
    };
    QString why;
    sheet::Failure failure = sheet::Failure::None;
    std::shared_ptr<sheet::Workbook> book = sheet::Workbook::open(path, &why, opt, &failure);
    if (!book) {
        if (failure != sheet::Failure::Cancelled)
            *error = QStringLiteral("The file cannot be imported:\n%1\n\n%2").arg(shown, why);
        return nullptr;
    }
    auto src = std::make_shared<ImportSource>();
    src->book = book;
    src->path = path;
    src->RowCount = book->activeSheet().rowCount();
    src->ColCount = book->activeSheet().columnCount();
    const QStringList headers = sheetHeaders(book->activeSheet());
    captureHeaders(Frm_Data, headers);
    prePair(Frm_Data, table, headers);
    return src;
}
