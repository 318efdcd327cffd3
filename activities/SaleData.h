#pragma once
// The arithmetic and the all-or-nothing writes behind the sales window: a
// line's amount, a sale's total, and the changes that touch both a line and
// the total of its sale.
//
// Amounts are exact to the cent: quantities and prices are held as whole
// ten-thousandths, amounts and totals as whole cents, and only converted to
// the stored columns (which keep their type, so older files still open)
// when written. Within the bounds below every stored value reads back to
// exactly the decimal that was written.
#include <QString>
#include <QtGlobal>
#include <functional>

namespace db {
class Connection;
class Query;
}

namespace activities {

// Places of the quantity and price boxes, and the bounds they enforce.
constexpr int kQuantityPlaces = 4;
constexpr int kPricePlaces = 4;
constexpr qint64 kMaxQuantity = 9'999'999'999;      // 999,999.9999 in ten-thousandths
constexpr qint64 kMaxPrice = 999'999'999'999;       // 99,999,999.9999 in ten-thousandths
constexpr qint64 kMaxLineAmount = 999'999'999'999;  // 9,999,999,999.99 in cents
constexpr qint64 kMaxTotal = 9'999'999'999'999;     // 99,999,999,999.99 in cents

// A number as typed ("12", "-3", "4.5", ".25") with at most places decimals,
// as whole units of 10^-places; false when the text is no such number.
bool parseDecimal(const QString& text, int places, qint64* units);
// Units of 10^-places as text: "12.5", "3", "-0.25"; with keepZeros every
// place is shown ("12.50").
QString decimalText(qint64 units, int places, bool keepZeros = false);
// A stored number as whole units of 10^-places (rounded to the nearest).
qint64 unitsOf(double stored, int places);
// Units of 10^-places as the stored number nearest to them.
double storedValue(qint64 units, int places);

// Quantity times unit price (both in ten-thousandths), in cents, rounded
// half away from zero. Exact for every quantity and price within bounds.
qint64 lineAmountCents(qint64 quantity, qint64 price);

// The sum of the amounts of a sale's lines, in cents, as stored.
qint64 sumOfLinesCents(db::Connection* c, qlonglong saleId);

// Runs change (which writes to the lines of the current sale of sales), then
// writes the new sum of that sale's lines into its Total, all in one
// transaction; the sales list then shows the stored total. When anything
// fails nothing is kept: both record sets are read again so that they show
// what is stored, and the error goes on to the caller. A total beyond its
// bound is refused (DbError) and nothing is kept either.
void changeLines(db::Connection* c, db::Query* sales, db::Query* lines, const std::function<void()>& change);

// Deletes the current sale of sales with all its lines, all or nothing.
// False when another workstation had deleted the sale already.
bool deleteSale(db::Connection* c, db::Query* sales);

}  // namespace activities
