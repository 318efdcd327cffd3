#include "app/db/Query.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

#include "app/db/DbError.h"

namespace db {

namespace {

constexpr int kChunkRows = 64;
constexpr int kMaxChunks = 64;
// A reader walking the rows in order (an export, a report) gets this many
// chunks per statement.
constexpr int kReadAhead = 16;

const QVector<QVariant>& emptyRow() {
    static const QVector<QVariant> row;
    return row;
}

// The stored forms read directly: QDateTime::fromString() with a format
// costs tens of microseconds a call, which a sort or an export over 100,000
// rows pays for each. Anything else goes the slow way.
QDateTime parseDateTimeFast(const QString& t) {
    const qsizetype n = t.size();
    if (n != 10 && n != 16 && n != 19 && n != 23) return QDateTime();
    auto num = [&](qsizetype at, int len, bool* ok) {
        int v = 0;
        for (int i = 0; i < len; ++i) {
            const char16_t c = t[at + i].unicode();
            if (c < u'0' || c > u'9') *ok = false;
            v = v * 10 + (c - u'0');
        }
        return v;
    };
    auto is = [&](qsizetype at, char16_t c) { return t[at].unicode() == c; };
    bool ok = is(4, u'-') && is(7, u'-');
    const QDate date(num(0, 4, &ok), num(5, 2, &ok), num(8, 2, &ok));
    int h = 0, m = 0, sec = 0, ms = 0;
    if (n >= 16) {
        ok = ok && (is(10, u' ') || is(10, u'T')) && is(13, u':');
        h = num(11, 2, &ok);
        m = num(14, 2, &ok);
        // "hh:mm" is read only with a space, as the slow way does.
        if (n == 16) ok = ok && is(10, u' ');
    }
    if (n >= 19) {
        ok = ok && is(16, u':');
        sec = num(17, 2, &ok);
    }
    if (n == 23) {
        ok = ok && is(19, u'.');
        ms = num(20, 3, &ok);
    }
    if (!ok || !date.isValid() || !QTime::isValid(h, m, sec, ms)) return QDateTime();
    return QDateTime(date, QTime(h, m, sec, ms));
}

QDateTime parseDateTime(const QString& s) {
    const QString t = s.trimmed();
    if (const QDateTime dt = parseDateTimeFast(t); dt.isValid()) return dt;
    static const char* formats[] = {"yyyy-MM-dd hh:mm:ss", "yyyy-MM-ddThh:mm:ss",
                                    "yyyy-MM-dd hh:mm:ss.zzz", "yyyy-MM-ddThh:mm:ss.zzz",
                                    "yyyy-MM-dd hh:mm", "yyyy-MM-dd"};
    for (const char* f : formats) {
        QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(f));
        if (dt.isValid()) return dt;
    }
    return QDateTime();
}

FieldKind kindOfMetaType(int id) {
    switch (id) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Short: case QMetaType::UShort:
        return FieldKind::Integer;
    case QMetaType::Double: case QMetaType::Float: return FieldKind::Float;
    case QMetaType::Bool: return FieldKind::Bool;
    case QMetaType::QDateTime: case QMetaType::QDate: case QMetaType::QTime:
        return FieldKind::DateTime;
    default: return FieldKind::Text;
    }
}

// True when the statement text has an ORDER BY outside its quoted literals.
bool hasOrderBy(const QString& sql) {
    QString bare;
    bare.reserve(sql.size());
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            bare += QLatin1Char(' ');
            continue;
        }
        bare += c;
    }
    static const QRegularExpression re(QStringLiteral("\\border\\s+by\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(bare).hasMatch();
}

[[noreturn]] void fail(const Connection* c, const QSqlQuery& q) { throw DbError(c->describe(q.lastError())); }

}  // namespace

// ---- Field ---------------------------------------------------------------

QString Field::name() const { return q_->fields_[i_].name; }
QVariant Field::value() const { return q_->currentValue(i_); }
bool Field::isNull() const { return q_->currentValue(i_).isNull(); }
QString Field::asString() const { return Query::textOf(value(), q_->fields_[i_].kind); }

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
    : toolkit::RecordSource(parent), conn_(connection) {}

Query::~Query() = default;

void Query::setSql(const QString& sql) {
    close();
    sql_ = sql;
}

void Query::analyse() {
    // A plain "select * from <table> [where|order ...]": rows can be read by
    // key and written back.
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+(\\[[^\\]]+\\]|[A-Za-z_][A-Za-z0-9_]*)(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tail(
        QStringLiteral("^\\s*(;\\s*)?$|^\\s+(where|order)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    simple_ = false;
    table_.clear();
    rest_.clear();
    const auto m = re.match(sql_);
    if (!m.hasMatch()) return;
    QString rest = m.captured(2);
    if (!tail.match(rest).hasMatch()) return;
    while (rest.endsWith(QLatin1Char(';')) || (rest.size() && rest.back().isSpace())) rest.chop(1);
    const QString table = m.captured(1);
    const QVector<FieldDef>& defs = conn_->tableFields(table);
    if (defs.isEmpty()) return;  // not a table: let the engine say what is wrong
    simple_ = true;
    table_ = table;
    rest_ = rest;
    fields_ = defs;
}

QList<QString> Query::paramNames() const {
    // ":Name" outside quoted text and brackets.
    QList<QString> out;
    const QString& s = sql_;
    QChar quote;
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) { quote = c; continue; }
        if (c == QLatin1Char('[')) { quote = QLatin1Char(']'); continue; }
        if (c == QLatin1Char(':') && i + 1 < s.size() &&
            (s[i + 1].isLetter() || s[i + 1] == QLatin1Char('_'))) {
            int j = i + 1;
            while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == QLatin1Char('_'))) ++j;
            out << s.mid(i + 1, j - i - 1);
            i = j - 1;
        }
    }
    return out;
}

void Query::bindParams(QSqlQuery& q) const {
    for (const QString& p : paramNames()) {
        QVariant v;
        bool found = false;
        if (masterSet_) {
            const int f = masterSet_->fieldIndex(p);
            if (f >= 0) {
                found = true;
                const int row = masterSet_->currentRow();
                if (row >= 0) {
                    const QVariant mv = masterSet_->valueAt(row, f);
                    if (!mv.isNull()) v = mv.toString();
                }
            }
        }
        if (!found) {
            for (auto it = params_.begin(); it != params_.end(); ++it)
                if (it.key().compare(p, Qt::CaseInsensitive) == 0) v = it.value();
        }
        q.bindValue(QLatin1Char(':') + p, v);
    }
}

void Query::runOpen() {
    if (!conn_ || !conn_->connected()) throw DbError(QStringLiteral("Not connected to a database"));
    if (sql_.trimmed().isEmpty()) throw DbError(QStringLiteral("No SQL statement to open"));
    fields_.clear();
    keys_.clear();
    rows_.clear();
    dropCache();
    pinnedKey_ = -1;
    analyse();
    QSqlQuery q(conn_->database());
    q.setForwardOnly(true);
    if (simple_) {
        const QString key = conn_->rowKey(table_);
        QString keySql = QStringLiteral("select ") + key + QStringLiteral(" from ") + table_ + rest_;
        // Reading only the keys lets the engine walk any index that covers
        // them, which would list the rows in that index's order. Without an
        // order of its own the statement keeps the table's natural order.
        if (!hasOrderBy(rest_)) keySql += QStringLiteral(" order by ") + key;
        if (!q.prepare(conn_->sql(keySql))) fail(conn_, q);
        bindParams(q);
        if (!q.exec()) fail(conn_, q);
        while (q.next()) keys_.append(q.value(0).toLongLong());
    } else {
        if (!q.prepare(conn_->sql(sql_))) fail(conn_, q);
        bindParams(q);
        if (!q.exec()) fail(conn_, q);
        if (!q.isSelect()) throw DbError(QStringLiteral("The statement returns no rows"));
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i) {
            FieldDef f;
            f.name = rec.fieldName(i);
            f.kind = kindOfMetaType(rec.field(i).metaType().id());
            fields_ << f;
        }
        while (q.next()) {
            Row r(rec.count());
            for (int i = 0; i < rec.count(); ++i) r[i] = fromEngine(q.value(i), fields_[i].kind);
            rows_.append(r);
        }
    }
}

void Query::open() {
    if (active()) return;
    emit aboutToReset();
    try {
        runOpen();
    } catch (...) {
        fields_.clear();
        keys_.clear();
        rows_.clear();
        simple_ = false;
        state_ = State::Inactive;
        cur_ = -1;
        // With the server gone, a list read again keeps what it showed,
        // rather than look as if its rows were gone. A detail list whose
        // master moved on has nothing right to show.
        if (closed_ && conn_ && conn_->isLost() && !masterSet_) {
            sql_ = closed_->sql;
            simple_ = closed_->simple;
            table_ = closed_->table;
            rest_ = closed_->rest;
            fields_ = closed_->fields;
            keys_ = closed_->keys;
            rows_ = closed_->rows;
            chunks_ = closed_->chunks;
            chunkUse_ = closed_->chunkUse;
            state_ = State::Browse;
            cur_ = std::min(closed_->cur, recordCount() - 1);
            eof_ = bof_ = recordCount() == 0;
            closed_.reset();
            emit resetDone();
            emit currentRowChanged(cur_);
            throw;
        }
        emit resetDone();
        throw;
    }
    closed_.reset();
    state_ = State::Browse;
    cur_ = recordCount() > 0 ? 0 : -1;
    bof_ = true;
    eof_ = recordCount() == 0;
    emit resetDone();
    emit currentRowChanged(cur_);
}

void Query::close() {
    if (!active()) return;
    emit aboutToReset();
    closed_ = std::make_unique<Closed>(Closed{sql_, simple_, table_, rest_, fields_, keys_, rows_, cur_, chunks_, chunkUse_});
    state_ = State::Inactive;
    keys_.clear();
    rows_.clear();
    dropCache();
    buffer_.clear();
    modified_.clear();
    cur_ = -1;
    eof_ = bof_ = true;
    emit resetDone();
    emit currentRowChanged(-1);
}

void Query::execSql() {
    if (!conn_ || !conn_->connected()) throw DbError(QStringLiteral("Not connected to a database"));
    conn_->checkWritable();
    QSqlQuery q(conn_->database());
    if (paramNames().isEmpty()) {
        // Run as it stands: some engines cannot prepare every kind of statement.
        if (!q.exec(conn_->sql(sql_))) fail(conn_, q);
    } else {
        if (!q.prepare(conn_->sql(sql_))) fail(conn_, q);
        bindParams(q);
        if (!q.exec()) fail(conn_, q);
    }
    rowsAffected_ = q.numRowsAffected();
    // Statements run this way may change any table's rows.
    dropCache();
}

int Query::recordCount() const {
    if (!active()) return 0;
    return simple_ ? int(keys_.size()) : int(rows_.size());
}

void Query::dropCache() const {
    chunks_.clear();
    chunkUse_.clear();
    lastRead_ = -2;
    hitChunk_ = -1;
}

const Query::Row& Query::rowAt(int row, bool quiet) const {
    if (row < 0 || row >= recordCount()) return emptyRow();
    if (!simple_) return rows_[row];
    const int chunk = row / kChunkRows;
    // Reading along one row, or row after row, stays in the chunk of the
    // last read: no look-up, and it is the most recently used already.
    if (chunk == hitChunk_) return hitRows_[row - chunk * kChunkRows];
    auto it = chunks_.find(chunk);
    if (it == chunks_.end()) {
        // Random access reads one chunk; the next chunk after the last one
        // read starts a run of several.
        const int chunks = chunk == lastRead_ + 1 ? kReadAhead : 1;
        const int from = chunk * kChunkRows;
        const int to = std::min<int>(from + chunks * kChunkRows, int(keys_.size()));
        lastRead_ = (to - 1) / kChunkRows;
        const int n = int(fields_.size());
        QHash<qlonglong, Row> byKey;
        byKey.reserve(to - from);
        try {
            readKeys(from, to, columnList(), [&](const QSqlQuery& q, qlonglong k) {
                Row r(n);
                for (int i = 0; i < n; ++i) r[i] = fromEngine(q.value(i + 1), fields_[i].kind);
                byKey.insert(k, r);
            });
        } catch (const DbError&) {
            lastRead_ = -2;
            // A grid painting rows while the server is away shows them
            // blank until it is back; nothing is kept of them meanwhile.
            if (quiet && conn_->isLost()) return emptyRow();
            throw;
        }
        for (int c = from / kChunkRows; c * kChunkRows < to; ++c) {
            QVector<Row> rows;
            const int end = std::min<int>((c + 1) * kChunkRows, to);
            rows.reserve(end - c * kChunkRows);
            for (int i = c * kChunkRows; i < end; ++i) rows << byKey.value(keys_[i], Row(n));
            if (chunks_.contains(c)) continue;
            while (chunks_.size() >= kMaxChunks && !chunkUse_.isEmpty()) chunks_.remove(chunkUse_.takeFirst());
            chunks_.insert(c, rows);
            hitChunk_ = -1;
            if (c != chunk) chunkUse_.append(c);
        }
        it = chunks_.find(chunk);
    } else {
        chunkUse_.removeOne(chunk);
    }
    chunkUse_.append(chunk);
    hitChunk_ = chunk;
    hitRows_ = *it;
    return hitRows_[row - chunk * kChunkRows];
}

void Query::readKeys(int from, int to, const QString& columns,
                     const std::function<void(const QSqlQuery&, qlonglong)>& take) const {
    const QString key = conn_->rowKey(table_);
    // Keys that rise through the block (a table in its natural order) are
    // read as one range, dropping the few rows of the range the list does
    // not hold; others by naming each key.
    bool rising = true;
    for (int i = from + 1; i < to && rising; ++i) rising = keys_[i] > keys_[i - 1];
    const qlonglong low = keys_[from], high = keys_[to - 1];
    const bool range = rising && high - low < 2LL * (to - from);
    QString where;
    if (range) {
        where = QStringLiteral("%1 between %2 and %3").arg(key).arg(low).arg(high);
    } else {
        QStringList ids;
        ids.reserve(to - from);
        for (int i = from; i < to; ++i) ids << QString::number(keys_[i]);
        where = QStringLiteral("%1 in (%2)").arg(key, ids.join(QLatin1Char(',')));
    }
    QSet<qlonglong> wanted;
    if (range && high - low + 1 != to - from) {
        wanted.reserve(to - from);
        for (int i = from; i < to; ++i) wanted.insert(keys_[i]);
    }
    QSqlQuery q(conn_->database());
    q.setForwardOnly(true);
    if (!q.exec(conn_->sql(QStringLiteral("select %1, %2 from %3 where %4").arg(key, columns, table_, where))))
        fail(conn_, q);
    while (q.next()) {
        const qlonglong k = q.value(0).toLongLong();
        if (!wanted.isEmpty() && !wanted.contains(k)) continue;
        take(q, k);
    }
}

QVector<QVector<QVariant>> Query::blockValues(const QList<int>& fields, int from, int count) const {
    QVector<QVector<QVariant>> out;
    const int to = std::min(from + count, recordCount());
    if (from < 0 || from >= to) return out;
    for (int f : fields)
        if (f < 0 || f >= fields_.size()) return RecordSource::blockValues(fields, from, count);
    // A pending row, or a statement read whole: what is in memory already.
    if (!simple_ || state_ != State::Browse || fields.isEmpty())
        return RecordSource::blockValues(fields, from, count);
    QStringList columns;
    for (int f : fields) columns << QLatin1Char('[') + fields_[f].name + QLatin1Char(']');
    // Each row read goes straight to its place: found by arithmetic when the
    // block's keys run without gaps (a table in its natural order), else
    // through a map of the keys.
    bool contiguous = keys_[to - 1] - keys_[from] == to - from - 1;
    for (int i = from + 1; i < to && contiguous; ++i) contiguous = keys_[i] == keys_[i - 1] + 1;
    QHash<qlonglong, int> place;
    if (!contiguous) {
        place.reserve(to - from);
        for (int i = from; i < to; ++i) place.insert(keys_[i], i - from);
    }
    out.fill(QVector<QVariant>(fields.size()), to - from);
    QList<FieldKind> kinds;
    for (int f : fields) kinds << fields_[f].kind;
    readKeys(from, to, columns.join(QLatin1Char(',')), [&](const QSqlQuery& q, qlonglong k) {
        const qlonglong at = contiguous ? k - keys_[from] : place.value(k, -1);
        if (at < 0 || at >= to - from) return;
        QVector<QVariant>& row = out[at];
        for (int i = 0; i < kinds.size(); ++i) row[i] = fromEngine(q.value(i + 1), kinds[i]);
    });
    return out;
}

QVariant Query::fromEngine(const QVariant& raw, FieldKind kind) const {
    if (raw.isNull()) return QVariant();
    bool ok = false;
    switch (kind) {
    case FieldKind::Integer: {
        const qlonglong n = raw.toLongLong(&ok);
        return ok ? QVariant(n) : raw;
    }
    case FieldKind::Float: {
        const double d = raw.toDouble(&ok);
        return ok ? QVariant(d) : raw;
    }
    case FieldKind::Bool: {
        const QString s = raw.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
        const qlonglong n = s.toLongLong(&ok);
        return ok ? QVariant(n != 0) : raw;
    }
    case FieldKind::DateTime: {
        if (raw.typeId() == QMetaType::QDateTime) return raw;
        const QDateTime dt = parseDateTime(raw.toString());
        return dt.isValid() ? QVariant(dt) : raw;
    }
    case FieldKind::Text:
    case FieldKind::Memo: return raw.typeId() == QMetaType::QString ? raw : QVariant(raw.toString());
    }
    return raw;
}

QVariant Query::toEngine(const QVariant& v, const FieldDef& f) const {
    if (v.isNull()) return QVariant();
    const QString fmt = conn_->dialect().dateTimeFormat();
    switch (f.kind) {
    case FieldKind::Bool:
        if (v.typeId() == QMetaType::QString) {
            const QString s = v.toString().trimmed();
            if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return 1;
            if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s.isEmpty()) return 0;
        }
        return v.toBool() ? 1 : 0;
    case FieldKind::Integer: {
        if (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty()) return QVariant();
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (!ok)
            throw DbError(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
        return n;
    }
    case FieldKind::Float: {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            throw DbError(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
        return d;
    }
    case FieldKind::DateTime:
        if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().toString(fmt);
        if (v.typeId() == QMetaType::QDate) return QDateTime(v.toDate(), QTime(0, 0)).toString(fmt);
        {
            const QString s = v.toString();
            if (s.trimmed().isEmpty()) return QVariant();
            const QDateTime dt = parseDateTime(s);
            if (!dt.isValid()) throw DbError(QStringLiteral("'%1' is not a valid date and time").arg(s));
            return dt.toString(fmt);
        }
    case FieldKind::Text:
    case FieldKind::Memo:
        if (v.typeId() == QMetaType::QDateTime) return textOf(v, FieldKind::DateTime);
        // Empty text set on purpose is stored as empty text: a null QString
        // would reach the engine as NULL.
        return v.toString().isNull() ? QStringLiteral("") : v.toString();
    }
    return v;
}

QVariant Query::compareValue(const QVariant& v, const FieldDef& f) const {
    // A stored value the program cannot convert (a malformed date) is
    // compared as it was read.
    try {
        return toEngine(v, f);
    } catch (const DbError&) {
        return v;
    }
}

QString Query::columnList() const {
    QStringList cols;
    for (const FieldDef& f : fields_) cols << QLatin1Char('[') + f.name + QLatin1Char(']');
    return cols.join(QLatin1Char(','));
}

void Query::refreshCache() {
    if (!active() || state_ != State::Browse) return;
    // Grids showing the list read what they show again.
    emit aboutToReset();
    dropCache();
    pinnedKey_ = -1;
    emit resetDone();
}

void Query::refreshRow() {
    checkActive();
    if (state_ == State::Edit || state_ == State::Insert) cancel();
    pinnedKey_ = -1;
    if (!simple_ || cur_ < 0) return;
    chunks_.remove(cur_ / kChunkRows);
    chunkUse_.removeOne(cur_ / kChunkRows);
    hitChunk_ = -1;
    QSqlQuery there(conn_->database());
    there.prepare(conn_->sql(QStringLiteral("select 1 from %1 where %2=?").arg(table_, conn_->rowKey(table_))));
    there.addBindValue(keys_[cur_]);
    if (!there.exec()) fail(conn_, there);
    if (there.next()) {
        emit rowChanged(cur_);
        emit currentRowChanged(cur_);
        return;
    }
    // Gone from the table: gone from the list, the next row taking its place.
    const int at = cur_;
    emit rowAboutToBeRemoved(at);
    keys_.remove(at);
    dropCache();
    cur_ = std::min(at, int(keys_.size()) - 1);
    eof_ = keys_.isEmpty();
    emit rowRemoved(at);
    emit currentRowChanged(cur_);
}

QString Query::textOf(const QVariant& v, FieldKind kind) {
    if (v.isNull()) return QString();
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.toString(QStringLiteral("yyyy-MM-dd"))
                                        : dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    case QMetaType::Double: return QString::number(v.toDouble(), 'g', 15);
    default: break;
    }
    Q_UNUSED(kind);
    return v.toString();
}

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

QString Query::textAt(int row, int field) const {
    return textOf(valueAt(row, field), fields_.value(field).kind);
}

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
    buffer_[field] = v;
    modified_[field] = true;
}

// ---- editing -------------------------------------------------------------

void Query::append() {
    checkActive();
    if (!simple_) throw DbError(QStringLiteral("This record set cannot be modified"));
    if (state_ == State::Edit || state_ == State::Insert) post();
    buffer_ = Row(fields_.size());
    modified_ = QVector<bool>(fields_.size(), false);
    state_ = State::Insert;
    emit editStateChanged();
}

void Query::edit() {
    checkActive();
    if (!simple_) throw DbError(QStringLiteral("This record set cannot be modified"));
    if (state_ == State::Edit || state_ == State::Insert) return;
    if (recordCount() == 0) {
        append();
        return;
    }
    buffer_ = rowAt(cur_);
    buffer_.resize(fields_.size());
    // What the row held when this program read it: a save checks that
    // nobody changed it meanwhile.
    original_ = pinnedKey_ == keys_[cur_] ? pinned_ : buffer_;
    original_.resize(fields_.size());
    modified_ = QVector<bool>(fields_.size(), false);
    state_ = State::Edit;
    emit editStateChanged();
}

void Query::cancel() {
    if (state_ != State::Edit && state_ != State::Insert) return;
    const bool wasEdit = state_ == State::Edit;
    state_ = State::Browse;
    buffer_.clear();
    modified_.clear();
    if (wasEdit && cur_ >= 0) emit rowChanged(cur_);
    emit editStateChanged();
}

void Query::post() {
    if (state_ != State::Edit && state_ != State::Insert) return;
    conn_->checkWritable();
    QStringList cols;
    QVariantList vals;
    for (int i = 0; i < fields_.size(); ++i) {
        if (!modified_[i] || fields_[i].autoInc) continue;
        cols << QLatin1Char('[') + fields_[i].name + QLatin1Char(']');
        vals << toEngine(buffer_[i], fields_[i]);
        // Refused here in words, the same way on every engine.
        if (fields_[i].size > 0 && vals.last().toString().size() > fields_[i].size)
            throw DbError(tooLongMessage(fields_[i].name, fields_[i].size));
    }
    QSqlQuery q(conn_->database());
    const QString key = conn_->rowKey(table_);
    const Dialect& dialect = conn_->dialect();
    if (state_ == State::Insert) {
        QString sql;
        if (cols.isEmpty()) {
            sql = QStringLiteral("insert into %1 default values").arg(table_);
        } else {
            QStringList marks;
            for (int i = 0; i < cols.size(); ++i) marks << QStringLiteral("?");
            sql = QStringLiteral("insert into %1 (%2) values (%3)")
                      .arg(table_, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        }
        if (dialect.insertReturnsKey()) sql += QStringLiteral(" returning ") + key;
        if (!q.prepare(conn_->sql(sql))) fail(conn_, q);
        for (const QVariant& v : vals) q.addBindValue(v);
        if (!q.exec()) fail(conn_, q);
        const qlonglong id = dialect.insertReturnsKey() ? (q.next() ? q.value(0).toLongLong() : 0)
                                                         : q.lastInsertId().toLongLong();
        const int at = int(keys_.size());
        emit rowAboutToBeInserted(at);
        keys_.append(id);
        chunks_.remove(at / kChunkRows);
        hitChunk_ = -1;
        chunkUse_.removeOne(at / kChunkRows);
        state_ = State::Browse;
        buffer_.clear();
        modified_.clear();
        cur_ = at;
        eof_ = bof_ = false;
        emit rowInserted(at);
        emit currentRowChanged(cur_);
        emit editStateChanged();
        return;
    }
    if (!cols.isEmpty()) {
        QStringList sets;
        for (const QString& c : cols) sets << c + QStringLiteral("=?");
        // The row is changed only if it still holds what this program read:
        // another workstation's change is never silently overwritten.
        QStringList same;
        QVariantList was;
        for (int i = 0; i < fields_.size(); ++i) {
            if (fields_[i].autoInc) continue;
            same << dialect.sameValue(QLatin1Char('[') + fields_[i].name + QLatin1Char(']'), fields_[i].kind);
            was << compareValue(original_.value(i), fields_[i]);
        }
        QString sql = QStringLiteral("update %1 set %2 where %3=?").arg(table_, sets.join(QLatin1Char(',')), key);
        if (!same.isEmpty()) sql += QStringLiteral(" and ") + same.join(QStringLiteral(" and "));
        if (!q.prepare(conn_->sql(sql))) fail(conn_, q);
        for (const QVariant& v : vals) q.addBindValue(v);
        q.addBindValue(keys_[cur_]);
        for (const QVariant& v : was) q.addBindValue(v);
        if (!q.exec()) fail(conn_, q);
        if (q.numRowsAffected() == 0) {
            QSqlQuery there(conn_->database());
            there.prepare(conn_->sql(QStringLiteral("select 1 from %1 where %2=?").arg(table_, key)));
            there.addBindValue(keys_[cur_]);
            if (!there.exec()) fail(conn_, there);
            throw ConflictError(there.next() ? ConflictError::Changed : ConflictError::Deleted);
        }
        chunks_.remove(cur_ / kChunkRows);
        hitChunk_ = -1;
        chunkUse_.removeOne(cur_ / kChunkRows);
        pinnedKey_ = -1;
    }
    state_ = State::Browse;
    buffer_.clear();
    modified_.clear();
    emit rowChanged(cur_);
    emit editStateChanged();
}

void Query::setValueAt(int row, int field, const QVariant& v) {
    checkActive();
    if (field < 0 || field >= fields_.size())
        throw DbError(QStringLiteral("Field index %1 out of range").arg(field));
    if (state_ == State::Insert && row == recordCount()) {
        setCurrentValue(field, v);
        emit rowChanged(row);
        return;
    }
    if (row < 0 || row >= recordCount()) throw DbError(QStringLiteral("No such row"));
    // Another row's pending change is written before this row is touched.
    if (state_ == State::Insert || (state_ == State::Edit && row != cur_)) post();
    if (row != cur_) setCurrentRow(row);
    edit();
    setCurrentValue(field, v);
    emit rowChanged(row);
}

void Query::remove() {
    checkActive();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (!simple_) throw DbError(QStringLiteral("This record set cannot be modified"));
    if (recordCount() == 0 || cur_ < 0)
        throw DbError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    conn_->checkWritable();
    QSqlQuery q(conn_->database());
    if (!q.prepare(conn_->sql(QStringLiteral("delete from %1 where %2=?").arg(table_, conn_->rowKey(table_)))))
        fail(conn_, q);
    q.addBindValue(keys_[cur_]);
    if (!q.exec()) fail(conn_, q);
    state_ = State::Browse;
    buffer_.clear();
    modified_.clear();
    const int at = cur_;
    emit rowAboutToBeRemoved(at);
    keys_.remove(at);
    dropCache();  // every later row moved up by one
    // The row that followed the deleted one takes its place and becomes
    // current, whatever a listener did with the cursor meanwhile (a view
    // moves its own current index away from a row being removed).
    cur_ = std::min(at, int(keys_.size()) - 1);
    eof_ = keys_.isEmpty();
    emit rowRemoved(at);
    emit currentRowChanged(cur_);
}

// ---- master-detail and sort ---------------------------------------------

void Query::setMasterSource(toolkit::DataSource* master) {
    if (masterSet_) disconnect(masterSet_, nullptr, this, nullptr);
    if (master_) disconnect(master_, nullptr, this, nullptr);
    master_ = master;
    masterSet_ = master ? master->dataSet() : nullptr;
    if (master_) {
        connect(master_, &toolkit::DataSource::dataSetChanged, this, [this] {
            setMasterSource(master_);
        });
    }
    if (masterSet_) {
        connect(masterSet_, &toolkit::RecordSource::currentRowChanged, this, [this] { masterMoved(); });
    }
}

void Query::masterMoved() {
    if (!active()) return;
    if (state_ == State::Edit || state_ == State::Insert) cancel();
    try {
        close();
        open();
    } catch (const DbError&) {
        // With the server gone, the detail waits (closed) for the next move;
        // what moved the master is not failed for it.
        if (!conn_->isLost()) throw;
    }
}

void Query::setParam(const QString& name, const QVariant& v) { params_.insert(name, v); }

namespace {
// A value reduced once to what the sort compares: nulls first, then numbers
// or dates by value, everything else as text without regard to case.
struct SortKey {
    int rank = 0;  // 0 null, 1 number or date, 2 text
    double number = 0;
    QString text;
    bool operator<(const SortKey& o) const {
        if (rank != o.rank) return rank < o.rank;
        if (rank == 1) return number < o.number;
        return text < o.text;
    }
};

SortKey sortKeyOf(const QVariant& v, FieldKind kind) {
    SortKey k;
    if (v.isNull()) return k;
    if (kind == FieldKind::Integer || kind == FieldKind::Float || kind == FieldKind::Bool) {
        bool ok = false;
        k.number = v.toDouble(&ok);
        if (ok) {
            k.rank = 1;
            return k;
        }
    }
    if (kind == FieldKind::DateTime && v.typeId() == QMetaType::QDateTime) {
        k.rank = 1;
        k.number = double(v.toDateTime().toMSecsSinceEpoch());
        return k;
    }
    k.rank = 2;
    k.text = v.toString().toCaseFolded();
    return k;
}
}  // namespace

void Query::sortBy(const QString& column) {
    checkActive();
    const int f = checkedIndex(column);
    if (state_ == State::Edit || state_ == State::Insert) post();
    const FieldKind kind = fields_[f].kind;
    const qlonglong curKey = simple_ && cur_ >= 0 ? keys_[cur_] : -1;
    emit aboutToReset();
    try {
        if (simple_) {
            QSqlQuery q(conn_->database());
            q.setForwardOnly(true);
            const QString key = conn_->rowKey(table_);
            if (!q.prepare(conn_->sql(QStringLiteral("select %1, [%2] from %3%4")
                                          .arg(key, fields_[f].name, table_, rest_))))
                fail(conn_, q);
            bindParams(q);
            if (!q.exec()) fail(conn_, q);
            QHash<qlonglong, SortKey> vals;
            vals.reserve(keys_.size());
            while (q.next()) vals.insert(q.value(0).toLongLong(), sortKeyOf(fromEngine(q.value(1), kind), kind));
            QVector<std::pair<SortKey, qlonglong>> items;
            items.reserve(keys_.size());
            for (qlonglong k : keys_) items.append({vals.value(k), k});
            std::stable_sort(items.begin(), items.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            for (int i = 0; i < items.size(); ++i) keys_[i] = items[i].second;
            dropCache();
            cur_ = keys_.isEmpty() ? -1 : std::max(0, int(keys_.indexOf(curKey)));
        } else {
            QVector<std::pair<SortKey, int>> items;
            items.reserve(rows_.size());
            for (int i = 0; i < rows_.size(); ++i) items.append({sortKeyOf(rows_[i].value(f), kind), i});
            std::stable_sort(items.begin(), items.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            QVector<Row> sorted;
            sorted.reserve(rows_.size());
            for (const auto& item : items) sorted.append(rows_[item.second]);
            rows_ = sorted;
            cur_ = rows_.isEmpty() ? -1 : 0;
        }
    } catch (...) {
        emit resetDone();
        throw;
    }
    emit resetDone();
    emit currentRowChanged(cur_);
}

void postOrCancel(Query* q, const std::function<void()>& fill) {
    try {
        if (fill) fill();
        q->post();
    } catch (...) {
        q->cancel();
        throw;
    }
}

}  // namespace db
