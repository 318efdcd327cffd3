#pragma once
// The arithmetic and the all-or-nothing writes behind the sales window: a
// line's amount, a sale's total, and the changes that touch both a line and
// the total of its sale.
#include <QString>
#include <functional>

namespace db {
class Connection;
class Query;
}

namespace activities {

// Quantity times unit price, rounded to cents.
double lineAmount(double quantity, double price);
// A number as the user typed it ("12", "-3", "4.5"); false when it is none.
bool parseNumber(const QString& text, double* value);
// A stored amount as the boxes show it: "12.5", "3", "0.1".
QString numberText(double value);

// The sum of the amounts of a sale's lines, as stored.
double sumOfLines(db::Connection* c, qlonglong saleId);

// Runs change (which writes to the lines of the current sale of sales), then
// writes the new sum of that sale's lines into its Total, all in one
// transaction. When anything fails nothing is kept: both record sets are read
// again so that they show what is stored, and the error goes on to the caller.
void changeLines(db::Connection* c, db::Query* sales, db::Query* lines, const std::function<void()>& change);

// Deletes the current sale of sales with all its lines, all or nothing.
void deleteSale(db::Connection* c, db::Query* sales);

}  // namespace activities
