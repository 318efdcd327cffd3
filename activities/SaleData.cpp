#include "activities/SaleData.h"

#include <QRegularExpression>
#include <cmath>

#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/Transaction.h"

namespace activities {

namespace {

qint64 scale(int places) {
    qint64 s = 1;
    for (int i = 0; i < places; ++i) s *= 10;
    return s;
}

// Reads a record set again, keeping its cursor on the same record where it
// is still there, else on the same row number.
void reread(db::Query* q) {
    if (!q->active()) return;
    const int row = q->currentRow();
    const qlonglong key = q->currentKey();
    q->cancel();
    q->close();
    q->open();
    const int same = key >= 0 ? q->rowOfKey(key) : -1;
    if (same >= 0) q->setCurrentRow(same);
    else if (row >= 0 && q->recordCount() > 0) q->setCurrentRow(std::min(row, q->recordCount() - 1));
}

qlonglong currentSaleId(db::Query* sales) {
    if (!sales->active() || sales->currentRow() < 0) return -1;
    return sales->field(QStringLiteral("SaleID")).asInteger();
}

}  // namespace

bool parseDecimal(const QString& text, int places, qint64* units) {
    static const QRegularExpression re(QStringLiteral("^\\s*(-?)(\\d*)(?:\\.(\\d*))?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) return false;
    const QString whole = m.captured(2), frac = m.captured(3);
    if (whole.isEmpty() && frac.isEmpty()) return false;
    if (frac.size() > places || whole.size() > 15) return false;
    qint64 v = 0;
    for (const QChar c : whole) v = v * 10 + c.digitValue();
    for (int i = 0; i < places; ++i) v = v * 10 + (i < frac.size() ? frac[i].digitValue() : 0);
    if (units) *units = m.captured(1).isEmpty() ? v : -v;
    return true;
}

QString decimalText(qint64 units, int places, bool keepZeros) {
    const qint64 s = scale(places);
    const qint64 a = units < 0 ? -units : units;
    QString out = QString::number(a / s);
    if (places > 0) {
        QString frac = QString::number(a % s).rightJustified(places, QLatin1Char('0'));
        if (!keepZeros)
            while (frac.endsWith(QLatin1Char('0'))) frac.chop(1);
        if (!frac.isEmpty()) out += QLatin1Char('.') + frac;
    }
    return units < 0 ? QLatin1Char('-') + out : out;
}

qint64 unitsOf(double stored, int places) { return std::llround(stored * double(scale(places))); }

double storedValue(qint64 units, int places) {
    // Through the decimal text: the double nearest the decimal, not the
    // quotient of two doubles.
    return decimalText(units, places, false).toDouble();
}

qint64 lineAmountCents(qint64 quantity, qint64 price) {
    // Both in ten-thousandths: the product is in 10^-8, a cent is 10^6 of those.
    const __int128 p = static_cast<__int128>(quantity) * price;
    const __int128 unit = 1'000'000;
    const __int128 half = unit / 2;
    const __int128 cents = p >= 0 ? (p + half) / unit : -((-p + half) / unit);
    return static_cast<qint64>(cents);
}

qint64 sumOfLinesCents(db::Connection* c, qlonglong saleId) {
    db::Query q(c);
    q.setSql(QStringLiteral("select Amount from T_SaleLine where SaleID = :id"));
    q.setParam(QStringLiteral("id"), saleId);
    q.open();
    // Added as whole cents: a sum of binary fractions would drift.
    qint64 sum = 0;
    for (q.first(); !q.eof(); q.next()) sum += unitsOf(q.field(0).asFloat(), 2);
    return sum;
}

void changeLines(db::Connection* c, db::Query* sales, db::Query* lines, const std::function<void()>& change) {
    const qlonglong saleId = currentSaleId(sales);
    try {
        db::TransactionGuard trans(*c);
        change();
        const qint64 total = sumOfLinesCents(c, saleId);
        if (total > kMaxTotal || total < -kMaxTotal)
            throw db::DbError(QStringLiteral("这笔销售的合计将超出 %1，明细没有保存。")
                                  .arg(decimalText(kMaxTotal, 2, true)));
        // The total follows from the lines alone: it is written as what they
        // add up to now, whatever another workstation made of it before.
        db::Query set(c);
        set.setSql(QStringLiteral("update T_Sale set Total = :total where SaleID = :id"));
        set.setParam(QStringLiteral("total"), storedValue(total, 2));
        set.setParam(QStringLiteral("id"), saleId);
        set.execSql();
        trans.commit();
    } catch (...) {
        // Rolled back: what the record sets show may not be stored.
        lines->cancel();
        reread(sales);
        reread(lines);
        throw;
    }
    // The list shows the total as stored (read again without moving its
    // cursor, which the lines follow).
    sales->refreshCache();
}

bool deleteSale(db::Connection* c, db::Query* sales) {
    const qlonglong saleId = currentSaleId(sales);
    if (saleId < 0) return true;
    bool deleted = true;
    try {
        db::TransactionGuard trans(*c);
        db::Query del(c);
        del.setSql(db::Statement(QStringLiteral("delete from T_SaleLine where SaleID = :id"))
                       .bind(QStringLiteral("id"), saleId));
        del.execSql();
        sales->remove();
        deleted = sales->rowsAffected() != 0;
        trans.commit();
    } catch (...) {
        reread(sales);
        throw;
    }
    return deleted;
}

}  // namespace activities
