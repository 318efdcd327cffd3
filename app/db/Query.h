#pragma once
// A statement plus an open result with a current row.
//
// "select * from <table> [where ...] [order by ...]" is opened in two steps:
// the keys of the matching rows are read at once (so the record count is
// exact and cheap), and the rows themselves are read in small chunks as
// callers and grids reach them. Such a result can be edited; writes go to
// <table>, keyed by the engine's row key. Any other statement is read whole
// and is read-only.
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QVariant>
#include <QVector>
#include <functional>

#include "app/db/Connection.h"
#include "app/db/Dialect.h"
#include "app/db/SqlTokens.h"
#include "app/db/Statement.h"
#include "toolkit/RecordSource.h"

namespace db {

class Query;

// A field of the current row, found by name or position.
class Field {
public:
    Field(Query* q, int index) : q_(q), i_(index) {}
    QString name() const;
    QVariant value() const;
    bool isNull() const;
    QString asString() const;
    qlonglong asInteger() const;
    double asFloat() const;
    bool asBoolean() const;
    QDateTime asDateTime() const;  // null reads as an invalid date/time
    void setValue(const QVariant& v);
    QString displayLabel() const;
    void setDisplayLabel(const QString& label);
    int index() const { return i_; }

private:
    Query* q_;
    int i_;
};

class Query : public toolkit::RecordSource {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit Query(Connection* connection, QObject* parent = nullptr);
    ~Query() override;

    Connection* connection() const { return conn_; }

    // Replacing the statement closes the query; the statement's values
    // replace those set before.
    void setSql(const Statement& statement);
    QString sql() const { return text_.text(); }
    void prepare() {}
    void open();
    void close();
    bool active() const { return state_ != State::Inactive; }
    State state() const { return state_; }
    // Runs a statement that returns no rows (delete, update, insert).
    void execSql();
    // Number of rows the last execSql changed.
    int rowsAffected() const { return rowsAffected_; }

    // Navigation.
    void first();
    void next();
    void prior();
    void last();
    bool eof() const;
    bool bof() const;
    bool isEmpty() const { return recordCount() == 0; }

    // Fields of the current row.
    Field field(const QString& name);
    Field field(int index);
    QVariant value(const QString& name) { return field(name).value(); }
    QString asString(const QString& name) { return field(name).asString(); }
    FieldDef fieldDef(int index) const;
    void setDisplayLabel(const QString& fieldName, const QString& label);
    QStringList fieldNames() const;

    // Editing. post() writes at once; an autoincrement key is read back then.
    void append();
    void edit();
    void setValue(const QString& name, const QVariant& v) { field(name).setValue(v); }
    void post();
    void cancel();
    void remove();  // deletes the current row
    // Reads the current row again from the table, dropping any pending
    // change; a row that is gone from the table leaves the list.
    void refreshRow();
    // Forgets the rows read so far, so that what this program changed by a
    // statement of its own is read again (the list's rows stay as they are).
    void refreshCache();
    // The row key of the current row of a plain table select (-1 when none),
    // and the row holding a key (-1 when the list does not hold it).
    qlonglong currentKey() const { return simple_ && cur_ >= 0 && cur_ < keys_.size() ? keys_[cur_] : -1; }
    int rowOfKey(qlonglong key) const { return simple_ ? int(keys_.indexOf(key)) : -1; }
    bool writable() const { return simple_; }
    QString tableName() const { return table_; }

    // Master-detail: the statement's parameters (":CustID") take the values of
    // the like-named fields of the master's current row, and the query re-runs
    // whenever that row changes.
    void setMasterSource(toolkit::DataSource* master);
    toolkit::DataSource* masterSource() const { return master_; }
    // Value for a parameter that no master field supplies.
    void setParam(const QString& name, const QVariant& v);
    // What a parameter is bound to when the statement runs.
    QVariant paramValue(const QString& name) const;

    // Client-side sort of the open result by one column, ascending.
    void sortBy(const QString& column);

    // RecordSource
    int recordCount() const override;
    int fieldCount() const override { return int(fields_.size()); }
    int fieldIndex(const QString& name) const override;
    QString fieldName(int field) const override;
    QString displayLabel(int field) const override;
    QVariant valueAt(int row, int field) const override;
    QString textAt(int row, int field) const override;
    int fieldSize(int field) const override { return fields_.value(field).size; }
    QVector<QVector<QVariant>> blockValues(const QList<int>& fields, int from, int count) const override;
    bool cachedAt(int row, int field, QVariant* value, QString* text) const override;
    int currentRow() const override { return cur_; }
    void setCurrentRow(int row) override;
    bool inserting() const override { return state_ == State::Insert; }
    bool changing() const override { return state_ == State::Edit || state_ == State::Insert; }
    void setValueAt(int row, int field, const QVariant& v) override;
    void postChanges() override { post(); }
    void cancelChanges() override { cancel(); }

    // Text form of a stored value, as grids and asString show it.
    static QString textOf(const QVariant& v, FieldKind kind);

private:
    friend class Field;
    using Row = QVector<QVariant>;

    // Statement shape (QueryShape.cpp).
    void analyse();
    Rendered bound(const SqlText& text) const;
    void runOpen();
    void prepareAndRun(class QSqlQuery& q, const SqlText& text) const;
    // Row cache (QueryCache.cpp).
    const Row& rowAt(int row) const;
    // Reads the rows from..to-1 of a plain table select, handing each
    // engine row (key first, then columns) and its key to take.
    void readKeys(int from, int to, const QString& columns,
                  const std::function<void(const QSqlQuery&, qlonglong)>& take) const;
    void dropCache() const;
    void forgetChunkOf(int row) const;
    QString columnList() const;
    // Writing (QueryWrite.cpp).
    void insertRow(const QStringList& cols, const QVariantList& vals);
    void updateRow(const QStringList& cols, const QVariantList& vals);
    void takeOutCurrent();
    // Navigation and fields (Query.cpp).
    QVariant currentValue(int field) const;
    void setCurrentValue(int field, const QVariant& v);
    int checkedIndex(const QString& name) const;
    void checkActive() const;
    void moveTo(int row);
    // Master-detail (QueryLinks.cpp).
    void masterMoved();

    Connection* conn_;
    SqlText text_;
    State state_ = State::Inactive;

    // What the statement selects from, when it is a plain table select.
    bool simple_ = false;
    QString table_;
    QString rest_;  // where and order clauses
    QString lock_;  // a closing row lock

    QVector<FieldDef> fields_;
    QHash<QString, QString> labels_;  // lower-case field name -> label

    QVector<qlonglong> keys_;   // simple results: row keys in result order
    QVector<Row> rows_;         // other results: every row
    mutable QHash<int, QVector<Row>> chunks_;
    mutable QList<int> chunkUse_;
    mutable int lastRead_ = -2;  // the last chunk read, for reading ahead
    mutable int hitChunk_ = -1;  // the chunk of the last row read, and its rows
    mutable QVector<Row> hitRows_;
    // "select <key>, <columns> from <table> where " for this engine, and its columns.
    mutable QString readHead_, readColumns_;

    int cur_ = -1;
    bool eof_ = true;
    bool bof_ = true;

    Row buffer_;
    QVector<bool> modified_;
    Row original_;                   // the edited row as this program read it
    mutable Row pinned_;             // the current row as first read
    mutable qlonglong pinnedKey_ = -1;

    QPointer<toolkit::DataSource> master_;
    QPointer<toolkit::RecordSource> masterSet_;
    QList<Statement::Value> params_;
    int rowsAffected_ = 0;
};

// Fills q's pending row (appended or in edit) and posts it. A refused row is
// cancelled, so that it does not linger half-made in a shared record set and
// get written later by accident; the error goes on to the caller.
void postOrCancel(Query* q, const std::function<void()>& fill = {});

}  // namespace db
