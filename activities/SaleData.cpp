#include "activities/SaleData.h"

#include <QRegularExpression>
#include <cmath>

#include "app/db/Query.h"
#include "app/db/Transaction.h"

namespace activities {

namespace {

// Reads a record set again, keeping its cursor on the same row number.
void reread(db::Query* q) {
    if (!q->active()) return;
    const int row = q->currentRow();
    q->cancel();
    q->close();
    q->open();
    if (row >= 0) q->setCurrentRow(row);
}

qlonglong currentSaleId(db::Query* sales) {
    if (!sales->active() || sales->currentRow() < 0) return -1;
    return sales->field(QStringLiteral("SaleID")).asInteger();
}

}  // namespace

double lineAmount(double quantity, double price) { return std::round(quantity * price * 100.0) / 100.0; }

bool parseNumber(const QString& text, double* value) {
    static const QRegularExpression re(QStringLiteral("^\\s*-?(\\d+(\\.\\d*)?|\\.\\d+)\\s*$"));
    if (!re.match(text).hasMatch()) return false;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (ok && value) *value = v;
    return ok;
}

QString numberText(double value) { return QString::number(value, 'g', 15); }

double sumOfLines(db::Connection* c, qlonglong saleId) {
    db::Query q(c);
    q.setSql(QStringLiteral("select coalesce(sum(Amount), 0) from T_SaleLine where SaleID = :id"));
    q.setParam(QStringLiteral("id"), saleId);
    q.open();
    // Sums of cents drift in binary: keep whole cents.
    return std::round(q.field(0).asFloat() * 100.0) / 100.0;
}

void changeLines(db::Connection* c, db::Query* sales, db::Query* lines, const std::function<void()>& change) {
    const qlonglong saleId = currentSaleId(sales);
    try {
        db::TransactionGuard trans(*c);
        change();
        const double total = sumOfLines(c, saleId);
        sales->edit();
        db::postOrCancel(sales, [&] { sales->setValue(QStringLiteral("Total"), total); });
        trans.commit();
    } catch (...) {
        // Rolled back: what the record sets show may not be stored.
        lines->cancel();
        reread(sales);
        reread(lines);
        throw;
    }
}

void deleteSale(db::Connection* c, db::Query* sales) {
    const qlonglong saleId = currentSaleId(sales);
    if (saleId < 0) return;
    try {
        db::TransactionGuard trans(*c);
        db::Query del(c);
        del.setSql(db::Statement(QStringLiteral("delete from T_SaleLine where SaleID = :id"))
                       .bind(QStringLiteral("id"), saleId));
        del.execSql();
        sales->remove();
        trans.commit();
    } catch (...) {
        reread(sales);
        throw;
    }
}

}  // namespace activities
