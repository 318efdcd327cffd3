#pragma once
// Many rows into one table: one insert statement carrying a batch of rows,
// prepared once and run for each batch with the rows' values bound; or,
// where the engine offers a cheaper way (Dialect::repeated), a statement of
// one row run for each row. For imports of many thousand rows, where a
// statement per row through the driver costs too much.
#include <QHash>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace db {

class Connection;
class RepeatedStatement;

class RowInserter {
public:
    // columns: the names of the columns every row gives, in order.
    // behind: rows may be written on a thread of their own while the caller
    // goes on (Dialect::repeated); the caller then makes no other use of the
    // database until flush() has returned.
    RowInserter(Connection* c, const QString& table, const QStringList& columns, bool behind = false);
    ~RowInserter();
    RowInserter(const RowInserter&) = delete;
    RowInserter& operator=(const RowInserter&) = delete;

    // A row's values, one per column; written at the latest by flush().
    // Throws DbError when a batch is refused (behind: any row before), or
    // for a text no engine stores.
    void add(const QVariantList& values);
    void flush();
    int rowsWritten() const { return written_; }

    static constexpr int kBatch = 250;

private:
    struct Prepared;
    Prepared& statementFor(int rows);

    Connection* c_;
    QString table_;
    QStringList columns_;
    QString format_;
    QVariantList pending_;
    int rows_ = 0;
    int written_ = 0;
    QHash<int, std::shared_ptr<Prepared>> prepared_;  // by rows per statement
    std::unique_ptr<RepeatedStatement> each_;         // or one row at a time
    QVariantList row_;
};

}  // namespace db
