#include "app/db/Query.h"

#include "app/db/DbError.h"
#include "app/db/Values.h"

// The record set's construction, cursor and fields. Its other jobs live
// beside it: the statement's shape and running it (QueryShape.cpp), the row
// cache (QueryCache.cpp), writing rows back (QueryWrite.cpp), and
// master-detail with the client-side sort (QueryLinks.cpp).

namespace db {

// ---- Field ---------------------------------------------------------------

QString Field::name() const { return q_->fields_[i_].name; }
QVariant Field::value() const { return q_->currentValue(i_); }
bool Field::isNull() const { return q_->currentValue(i_).isNull(); }
QString Field::asString() const { return db::textOf(value()); }

qlonglong Field::asInteger() const {
    const QVariant v = value();
    if (v.isNull()) return 0;
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? 1 : 0;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (ok) return n;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (ok) return qlonglong(d);
    if (v.toString().trimmed().isEmpty()) return 0;
    throw DbError(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
}

double Field::asFloat() const {
    const QVariant v = value();
    if (v.isNull() || v.toString().trimmed().isEmpty()) return 0;
    bool ok = false;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (!ok) throw DbError(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
    return d;
}

bool Field::asBoolean() const {
    const QVariant v = value();
    if (v.isNull()) return false;
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    const QString s = v.toString().trimmed();
    if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s.isEmpty()) return false;
    bool ok = false;
    const qlonglong n = s.toLongLong(&ok);
    if (ok) return n != 0;
    throw DbError(QStringLiteral("'%1' is not a valid boolean value").arg(s));
}

QDateTime Field::asDateTime() const {
    const QVariant v = value();
    if (v.isNull()) return QDateTime();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime();
    if (v.typeId() == QMetaType::QDate) return QDateTime(v.toDate(), QTime(0, 0));
    return parseDateTime(v.toString());
}

void Field::setValue(const QVariant& v) { q_->setCurrentValue(i_, v); }
QString Field::displayLabel() const { return q_->displayLabel(i_); }
void Field::setDisplayLabel(const QString& label) { q_->setDisplayLabel(name(), label); }

// ---- Query ---------------------------------------------------------------

Query::Query(Connection* connection, QObject* parent)
    : toolkit::RecordSource(parent), conn_(connection) {
    if (conn_) connect(conn_, &Connection::reconnected, this, &Query::reopenAfterLoss);
}

Query::~Query() = default;

void Query::setSql(const Statement& statement) {
    close();
    text_ = SqlText(statement.text());
    params_ = statement.values();
}

int Query::recordCount() const {
    if (!active()) return 0;
    return simple_ ? int(keys_.size()) : int(rows_.size());
}

QString Query::textOf(const QVariant& v, FieldKind) { return db::textOf(v); }

// ---- navigation ----------------------------------------------------------

void Query::checkActive() const {
    if (!active()) throw DbError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void Query::moveTo(int row) {
    if (state_ == State::Edit || state_ == State::Insert) post();
    const int n = recordCount();
    if (n == 0) {
        cur_ = -1;
        return;
    }
    row = std::clamp(row, 0, n - 1);
    if (row == cur_) return;
    cur_ = row;
    emit currentRowChanged(cur_);
}

void Query::first() {
    checkActive();
    moveTo(0);
    bof_ = true;
    eof_ = recordCount() == 0;
}

void Query::last() {
    checkActive();
    moveTo(recordCount() - 1);
    eof_ = true;
    bof_ = recordCount() == 0;
}

void Query::next() {
    checkActive();
    if (cur_ + 1 >= recordCount()) {
        if (state_ == State::Edit || state_ == State::Insert) post();
        eof_ = true;
        return;
    }
    moveTo(cur_ + 1);
    eof_ = false;
    bof_ = false;
}

void Query::prior() {
    checkActive();
    if (cur_ <= 0) {
        bof_ = true;
        return;
    }
    moveTo(cur_ - 1);
    bof_ = false;
    eof_ = false;
}

bool Query::eof() const { return !active() || eof_ || recordCount() == 0; }
bool Query::bof() const { return !active() || bof_ || recordCount() == 0; }

void Query::setCurrentRow(int row) {
    if (!active()) return;
    moveTo(row);
    eof_ = bof_ = false;
}

// ---- fields --------------------------------------------------------------

int Query::fieldIndex(const QString& name) const {
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

int Query::checkedIndex(const QString& name) const {
    const int i = fieldIndex(name);
    if (i < 0) throw DbError(QStringLiteral("Field '%1' not found").arg(name));
    return i;
}

Field Query::field(const QString& name) { return Field(this, checkedIndex(name)); }

Field Query::field(int index) {
    if (index < 0 || index >= fields_.size())
        throw DbError(QStringLiteral("Field index %1 out of range").arg(index));
    return Field(this, index);
}

FieldDef Query::fieldDef(int index) const { return fields_.value(index); }

QStringList Query::fieldNames() const {
    QStringList out;
    for (const auto& f : fields_) out << f.name;
    return out;
}

QString Query::fieldName(int field) const { return fields_.value(field).name; }

QString Query::displayLabel(int field) const {
    if (field < 0 || field >= fields_.size()) return QString();
    return labels_.value(fields_[field].name.toLower(), fields_[field].name);
}

void Query::setDisplayLabel(const QString& fieldName, const QString& label) {
    const int i = checkedIndex(fieldName);
    labels_.insert(fields_[i].name.toLower(), label);
    emit labelsChanged();
}

QVariant Query::valueAt(int row, int field) const {
    if (field < 0 || field >= fields_.size()) return QVariant();
    if (row == cur_ && (state_ == State::Edit)) return buffer_.value(field);
    // The row being inserted is shown after the last one.
    if (state_ == State::Insert && row == recordCount()) return buffer_.value(field);
    const Row& r = rowAt(row, true);
    return r.value(field);
}

QString Query::textAt(int row, int field) const { return db::textOf(valueAt(row, field)); }

QVariant Query::currentValue(int field) const {
    if (state_ == State::Edit || state_ == State::Insert) return buffer_.value(field);
    if (cur_ < 0) return QVariant();  // an empty result reads as nulls
    const Row& row = rowAt(cur_);
    // The current row as first read: what an editor shows, and what a
    // later save is checked against.
    if (simple_ && pinnedKey_ != keys_[cur_] && row.size() == fields_.size()) {
        pinnedKey_ = keys_[cur_];
        pinned_ = row;
    }
    return row.value(field);
}

void Query::setCurrentValue(int field, const QVariant& v) {
    if (state_ != State::Edit && state_ != State::Insert)
        throw DbError(QStringLiteral("Dataset not in edit or insert mode"));
    // An empty value set where nothing is stored changes nothing: an editor
    // saved without a change (its empty boxes give empty text) leaves the row
    // as it was, so it does not count as changed since an import.
    const bool empty = v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
    if (state_ == State::Edit && !modified_[field] && empty && original_.value(field).isNull()) return;
    buffer_[field] = v;
    modified_[field] = true;
}

}  // namespace db
