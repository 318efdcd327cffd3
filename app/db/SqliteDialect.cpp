#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlDriver>
#include <QUrl>
#include <QVariant>
#include <sqlite3.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/db/DbError.h"
#include "app/db/Dialect.h"

// The embedded engine: one database file beside the program (or where
// DBConn says), shared by several programs through SQLite's own locking.

namespace db {

namespace {

// How long a program waits for another one's write before it is refused.
constexpr int kBusyTimeoutMs = 5000;

// The first bytes of every SQLite 3 database file.
constexpr char kSqliteHeader[] = "SQLite format 3";

// The function that fingerprints a row (rowDigest()).
constexpr char kDigestFunction[] = "tallix_rowdigest";
constexpr char kDigestTag[] = "s:";

// The engine's handle of an open database, or null.
sqlite3* handleOf(const QSqlDatabase& db) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// Reading a CREATE TABLE text as the engine keeps it: blanks and comments
// skipped, quoted names and texts passed over whole.
qsizetype skipBlanks(const QString& s, qsizetype i) {
    for (;;) {
        while (i < s.size() && s[i].isSpace()) ++i;
        if (QStringView(s).mid(i, 2) == QLatin1String("--")) {
            i = s.indexOf(QLatin1Char('\n'), i);
            if (i < 0) return s.size();
        } else if (QStringView(s).mid(i, 2) == QLatin1String("/*")) {
            i = s.indexOf(QLatin1String("*/"), i + 2);
            if (i < 0) return s.size();
            i += 2;
        } else {
            return i;
        }
    }
}
bool opensQuote(QChar c) {
    return c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('`') || c == QLatin1Char('[');
}
// Past the closing quote of the piece opened at i; a doubled quote is one
// character of it.
qsizetype skipQuoted(const QString& s, qsizetype i) {
    const QChar close = s[i] == QLatin1Char('[') ? QLatin1Char(']') : s[i];
    for (++i; i < s.size(); ++i) {
        if (s[i] != close) continue;
        if (close != QLatin1Char(']') && i + 1 < s.size() && s[i + 1] == close) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return s.size();
}
qsizetype wordEnd(const QString& s, qsizetype i) {
    while (i < s.size() && (s[i].isLetterOrNumber() || s[i] == QLatin1Char('_'))) ++i;
    return i;
}

// create with " TEXT" after the type MEMO of each of the columns (names in
// lower case); *changed counts the columns changed.
QString withMemosAsText(const QString& create, const QStringList& columns, int* changed) {
    QList<qsizetype> inserts;
    int depth = 0;
    bool definitionStarts = false;
    for (qsizetype i = 0; i < create.size();) {
        if (definitionStarts) {
            definitionStarts = false;
            i = skipBlanks(create, i);
            if (i >= create.size()) break;
            QString name;
            if (opensQuote(create[i])) {
                const qsizetype end = skipQuoted(create, i);
                name = create.mid(i + 1, end - i - 2);
                i = end;
            } else {
                const qsizetype end = wordEnd(create, i);
                name = create.mid(i, end - i);
                i = end;
            }
            const qsizetype type = skipBlanks(create, i);
            const qsizetype typeEnd = wordEnd(create, type);
            if (create.mid(type, typeEnd - type).compare(QLatin1String("MEMO"), Qt::CaseInsensitive) != 0 ||
                !columns.contains(name.toLower()))
                continue;
            const qsizetype next = skipBlanks(create, typeEnd);
            if (create.mid(next, wordEnd(create, next) - next).compare(QLatin1String("TEXT"), Qt::CaseInsensitive) != 0)
                inserts << typeEnd;
            i = typeEnd;
            continue;
        }
        const QChar c = create[i];
        if (opensQuote(c)) {
            i = skipQuoted(create, i);
            continue;
        }
        if (c == QLatin1Char('-') || c == QLatin1Char('/')) {
            const qsizetype past = skipBlanks(create, i);
            if (past > i) {
                i = past;
                continue;
            }
        }
        if (c == QLatin1Char('(')) {
            if (++depth == 1) definitionStarts = true;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (c == QLatin1Char(',') && depth == 1) {
            definitionStarts = true;
        }
        ++i;
    }
    QString out = create;
    for (qsizetype k = inserts.size() - 1; k >= 0; --k) out.insert(inserts[k], QLatin1String(" TEXT"));
    *changed = int(inserts.size());
    return out;
}

// tallix_rowdigest(v1, v2, ...): an MD5 of the values as the engine gives
// them as text. A null counts as empty text, as everywhere the program
// shows or compares texts: a box typed into and cleared again leaves the
// row as it was.
void rowDigestFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // Called for each row of an import: one hash and one buffer per thread,
    // not per call; the row's bytes gathered first and hashed at once.
    thread_local QCryptographicHash h(QCryptographicHash::Md5);
    thread_local std::string bytes;
    h.reset();
    bytes.clear();
    for (int i = 0; i < argc; ++i) {
        const int type = sqlite3_value_type(argv[i]);
        if (type != SQLITE_NULL) {
            // The bytes are asked for after the text or blob: asking converts.
            const void* data = type == SQLITE_BLOB ? sqlite3_value_blob(argv[i]) : sqlite3_value_text(argv[i]);
            const int n = sqlite3_value_bytes(argv[i]);
            if (data && n > 0) bytes.append(static_cast<const char*>(data), size_t(n));
        }
        bytes += '\x02';
    }
    h.addData(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    // The tag and the first 15 bytes in hexadecimal: 32 characters.
    char out[32];
    std::memcpy(out, kDigestTag, 2);
    const QByteArrayView sum = h.resultView();
    static const char hex[] = "0123456789abcdef";
    for (int i = 0; i < 15; ++i) {
        out[2 + 2 * i] = hex[(uchar(sum[i]) >> 4) & 15];
        out[3 + 2 * i] = hex[uchar(sum[i]) & 15];
    }
    sqlite3_result_text(ctx, out, int(sizeof out), SQLITE_TRANSIENT);
}

// The engine's error in the form the driver reports it.
QSqlError engineError(sqlite3* h, int rc) {
    return QSqlError(QStringLiteral("Unable to fetch row"), QString::fromUtf8(sqlite3_errmsg(h)),
                     QSqlError::StatementError, QString::number(rc));
}

// Rows of values in one buffer, each value a type and its bytes, text
// already in the engine's encoding: all that binding needs, and nothing a
// thread writing them shares with the thread that made them.
class RowBuffer {
public:
    enum Type : char { Null, Int, Double, Text, Blob };
    void clear() {
        bytes_.clear();
        rows_ = 0;
    }
    int rows() const { return rows_; }
    // As the driver binds: nulls of every type, integers and yes/no as
    // integers, text (already checked by db::bindable()) as UTF-8.
    void add(const QVariantList& values) {
        for (const QVariant& v : values) {
            if (isNull(v)) {
                put(Null);
                continue;
            }
            switch (v.typeId()) {
            case QMetaType::QString: utf8(*static_cast<const QString*>(v.constData())); break;
            case QMetaType::QByteArray: text(Blob, *static_cast<const QByteArray*>(v.constData())); break;
            case QMetaType::Int:
            case QMetaType::Bool:
            case QMetaType::UInt:
            case QMetaType::LongLong: number(Int, qint64(v.toLongLong())); break;
            case QMetaType::Double: number(Double, v.toDouble()); break;
            default: text(Text, v.toString().toUtf8()); break;
            }
        }
        ++rows_;
    }
    // Binds the row that begins at *at to st (its values stay in the
    // buffer until the statement has run); *at moves to the next row.
    int bind(sqlite3_stmt* st, int columns, size_t* at) const {
        for (int i = 1; i <= columns; ++i) {
            const char type = bytes_[(*at)++];
            int rc = SQLITE_OK;
            switch (type) {
            case Null: rc = sqlite3_bind_null(st, i); break;
            case Int: rc = sqlite3_bind_int64(st, i, read<qint64>(at)); break;
            case Double: rc = sqlite3_bind_double(st, i, read<double>(at)); break;
            default: {
                const auto n = read<qint32>(at);
                const char* data = bytes_.data() + *at;
                *at += size_t(n);
                rc = type == Text ? sqlite3_bind_text(st, i, data, n, SQLITE_STATIC)
                                  : sqlite3_bind_blob(st, i, data, n, SQLITE_STATIC);
            }
            }
            if (rc != SQLITE_OK) return rc;
        }
        return SQLITE_OK;
    }

private:
    static bool isNull(const QVariant& v) {
        if (v.isNull()) return true;
        switch (v.typeId()) {
        case QMetaType::QString: return static_cast<const QString*>(v.constData())->isNull();
        case QMetaType::QByteArray: return static_cast<const QByteArray*>(v.constData())->isNull();
        case QMetaType::QDate: return static_cast<const QDate*>(v.constData())->isNull();
        case QMetaType::QTime: return static_cast<const QTime*>(v.constData())->isNull();
        case QMetaType::QDateTime: return static_cast<const QDateTime*>(v.constData())->isNull();
        default: return false;
        }
    }
    void put(char type) { bytes_.push_back(type); }
    template <typename T>
    void number(char type, T value) {
        put(type);
        const char* p = reinterpret_cast<const char*>(&value);
        bytes_.insert(bytes_.end(), p, p + sizeof value);
    }
    void text(char type, const QByteArray& data) {
        number(type, qint32(data.size()));
        bytes_.insert(bytes_.end(), data.constData(), data.constData() + data.size());
    }
    // Text encoded straight into the buffer, as QString::toUtf8() encodes it
    // ('?' for half of a character pair, which db::bindable() refuses
    // anyway), without a byte array made and freed for every value.
    void utf8(const QString& s) {
        put(Text);
        const size_t sizeAt = bytes_.size();
        const size_t n = size_t(s.size());
        bytes_.resize(sizeAt + sizeof(qint32) + 3 * n);
        char* const begin = bytes_.data() + sizeAt + sizeof(qint32);
        char* out = begin;
        const auto* in = reinterpret_cast<const char16_t*>(s.utf16());
        const char16_t* const end = in + n;
        while (in < end) {
            const char32_t c = *in++;
            if (c < 0x80) {
                *out++ = char(c);
            } else if (c < 0x800) {
                *out++ = char(0xc0 | (c >> 6));
                *out++ = char(0x80 | (c & 0x3f));
            } else if (c >= 0xd800 && c < 0xdc00 && in < end && *in >= 0xdc00 && *in < 0xe000) {
                // A pair of UTF-16 units: four bytes, where the pair took two units.
                const char32_t u = 0x10000 + ((c - 0xd800) << 10) + (char32_t(*in++) - 0xdc00);
                *out++ = char(0xf0 | (u >> 18));
                *out++ = char(0x80 | ((u >> 12) & 0x3f));
                *out++ = char(0x80 | ((u >> 6) & 0x3f));
                *out++ = char(0x80 | (u & 0x3f));
            } else if (c >= 0xd800 && c < 0xe000) {
                *out++ = '?';
            } else {
                *out++ = char(0xe0 | (c >> 12));
                *out++ = char(0x80 | ((c >> 6) & 0x3f));
                *out++ = char(0x80 | (c & 0x3f));
            }
        }
        const auto written = qint32(out - begin);
        std::memcpy(bytes_.data() + sizeAt, &written, sizeof written);
        bytes_.resize(sizeAt + sizeof(qint32) + size_t(written));
    }
    template <typename T>
    T read(size_t* at) const {
        T value;
        std::memcpy(&value, bytes_.data() + *at, sizeof value);
        *at += sizeof value;
        return value;
    }
    std::vector<char> bytes_;
    int rows_ = 0;
};

// An insert prepared once and stepped for every row; behind, on a thread
// of its own, a batch of rows at a time, while the caller checks the next.
// Values are bound as the driver binds them, so what is stored is the same
// either way.
class SqliteRepeated : public RepeatedStatement {
public:
    SqliteRepeated(sqlite3* h, const QString& sql, bool behind) : h_(h), behind_(behind) {
        const QByteArray text = sql.toUtf8();
        const int rc = sqlite3_prepare_v3(h_, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &st_, nullptr);
        if (rc != SQLITE_OK) {
            error_ = engineError(h_, rc);
            sqlite3_finalize(st_);
            st_ = nullptr;
        }
        columns_ = st_ ? sqlite3_bind_parameter_count(st_) : 0;
    }
    ~SqliteRepeated() override {
        if (worker_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(m_);
                stop_ = true;
                full_.clear();  // not finished: the caller is giving up (and rolls back)
            }
            changed_.notify_all();
            worker_.join();
        }
        sqlite3_finalize(st_);
    }
    bool prepared() const { return st_ != nullptr; }

    bool run(const QVariantList& values) override {
        if (values.size() != columns_) {
            std::lock_guard<std::mutex> lock(m_);
            error_ = QSqlError(QStringLiteral("Parameter count mismatch"), QString(), QSqlError::StatementError);
            return false;
        }
        if (!behind_) {
            filling_->clear();
            filling_->add(values);
            return write(*filling_);
        }
        filling_->add(values);
        if (filling_->rows() >= batchRows_) {
            batchRows_ = std::min(batchRows_ * 2, kBatchRows);
            return handOver();
        }
        std::lock_guard<std::mutex> lock(m_);
        return !failed_;
    }
    bool finish() override {
        if (!behind_) return true;
        if (filling_->rows() > 0 && !handOver()) return false;
        // The writing thread waits for the next batch from here: small
        // batches first, so that it waits only briefly.
        batchRows_ = kFirstBatchRows;
        std::unique_lock<std::mutex> lock(m_);
        changed_.wait(lock, [this] { return failed_ || (full_.empty() && !busy_); });
        return !failed_;
    }
    QSqlError lastError() const override {
        std::lock_guard<std::mutex> lock(m_);
        return error_;
    }

private:
    // Rows per batch handed to the writing thread, and batches waiting at most.
    static constexpr int kBatchRows = 512, kFirstBatchRows = 32;
    static constexpr size_t kQueued = 8;

    // Binds and runs each row of b; false, with the engine's error, at the first that fails.
    bool write(const RowBuffer& b) {
        size_t at = 0;
        for (int r = 0; r < b.rows(); ++r) {
            int rc = b.bind(st_, columns_, &at);
            if (rc == SQLITE_OK) {
                rc = sqlite3_step(st_);
                if (rc == SQLITE_ROW) rc = SQLITE_DONE;
            }
            if (rc != SQLITE_DONE) {
                const QSqlError e = engineError(h_, rc);
                sqlite3_reset(st_);
                std::lock_guard<std::mutex> lock(m_);
                error_ = e;
                failed_ = true;
                return false;
            }
            sqlite3_reset(st_);
        }
        return true;
    }
    bool handOver() {
        std::unique_lock<std::mutex> lock(m_);
        if (!worker_.joinable()) worker_ = std::thread([this] { work(); });
        changed_.wait(lock, [this] { return failed_ || full_.size() < kQueued; });
        if (failed_) return false;
        full_.push_back(std::move(filling_));
        if (spare_.empty()) {
            filling_ = std::make_unique<RowBuffer>();
        } else {
            filling_ = std::move(spare_.back());
            spare_.pop_back();
        }
        filling_->clear();
        changed_.notify_all();
        return true;
    }
    void work() {
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || !full_.empty(); });
            if (stop_) return;
            std::unique_ptr<RowBuffer> b = std::move(full_.front());
            full_.pop_front();
            busy_ = true;
            const bool skip = failed_;
            lock.unlock();
            const bool ok = !skip && write(*b);
            lock.lock();
            busy_ = false;
            if (!ok) full_.clear();
            spare_.push_back(std::move(b));
            changed_.notify_all();
        }
    }

    sqlite3* h_;
    sqlite3_stmt* st_ = nullptr;
    int columns_ = 0;
    const bool behind_;
    int batchRows_ = kFirstBatchRows;
    std::unique_ptr<RowBuffer> filling_ = std::make_unique<RowBuffer>();
    // Shared with the writing thread, under m_.
    mutable std::mutex m_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<RowBuffer>> full_;
    std::vector<std::unique_ptr<RowBuffer>> spare_;
    bool busy_ = false, failed_ = false, stop_ = false;
    QSqlError error_;
    std::thread worker_;
};

class SqliteDialect : public Dialect {
public:
    QString driver() const override { return QStringLiteral("QSQLITE"); }

    OpenResult open(QSqlDatabase& db, const QString& dataSource) const override {
        // The engine counts every allocation under a lock of its own; nothing
        // here asks for those counts, and imports allocate millions of
        // times. Only possible before the engine's first use in the process
        // (later it is refused, harmlessly).
        static const int noCounts = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        Q_UNUSED(noCounts);
        const QFileInfo info(dataSource);
        // Never create a database: a missing file is a failure to connect.
        if (dataSource.isEmpty() || !info.exists())
            throw DbError(QStringLiteral("The database file does not exist: %1").arg(dataSource));
        if (info.isDir())
            throw DbError(QStringLiteral("%1 is a folder, not a database file.").arg(dataSource));
        QFile file(info.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            throw DbError(QStringLiteral("The database file cannot be read (%1): %2")
                              .arg(file.errorString(), dataSource));
        // The engine would take an empty file for a new database and write
        // one into it; checking the header first leaves any such file as it is.
        const QByteArray head = file.read(sizeof kSqliteHeader);
        file.close();
        if (info.size() == 0)
            throw DbError(QStringLiteral("The database file is empty (0 bytes), so it holds no data; "
                                         "it was left unchanged: %1").arg(dataSource));
        if (head != QByteArray(kSqliteHeader, sizeof kSqliteHeader))
            throw DbError(QStringLiteral("The file is not a database: %1").arg(dataSource));

        // A file or folder we may not write is opened for reading, so the
        // data can still be looked at.
        OpenResult result;
        if (!info.isWritable())
            result.readOnlyReason = QStringLiteral("the database file is read-only");
        else if (!QFileInfo(info.absolutePath()).isWritable())
            result.readOnlyReason = QStringLiteral("the folder of the database file is read-only");

        const QString uri = QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (result.readOnlyReason.isEmpty()) {
            openAndProbe(db, uri + QStringLiteral("?mode=rw"));
            // Several programs share the file through the rollback journal,
            // whose locks last only as long as a transaction. A write-ahead
            // log keeps its locks open all the time, and any other opening
            // and closing of the file inside this program (a file dialog
            // looking at the folder does it) drops them unseen: another
            // program then takes itself for the last user and deletes the
            // log with this program's changes in it. A file that another
            // program holds open keeps its mode until it is the only user.
            QSqlQuery q(db);
            q.exec(QStringLiteral("pragma journal_mode=DELETE"));
            q.finish();
            q.exec(QStringLiteral("pragma foreign_keys=OFF"));
            return result;
        }
        try {
            openAndProbe(db, uri + QStringLiteral("?mode=ro"));
        } catch (const DbError&) {
            // A WAL database in a folder we cannot write cannot make its
            // shared-memory file; read it as a file nobody changes.
            openAndProbe(db, uri + QStringLiteral("?mode=ro&immutable=1"));
        }
        return result;
    }

    QString describe(const QSqlError& error) const override {
        const QString text = error.databaseText();
        static const QRegularExpression tooLong(
            QStringLiteral("CHECK constraint failed: length\\(\\[?(\\w+)\\]?\\)\\s*<=\\s*(\\d+)"));
        const auto m = tooLong.match(text);
        if (m.hasMatch()) return tooLongMessage(m.captured(1), m.captured(2).toInt());
        if (text.contains(QLatin1String("database is locked")) ||
            text.contains(QLatin1String("database table is locked")))
            return QStringLiteral("Another workstation is saving to the database at this moment. "
                                  "Please try again in a moment; what you typed is kept.");
        if (text.contains(QLatin1String("readonly database")))
            return readOnlyMessage();
        if (text.contains(QLatin1String("database disk image is malformed")))
            return QStringLiteral("The database file is damaged (%1).").arg(text);
        return Dialect::describe(error);
    }

private:
    // A program waiting for another one's write looks again every
    // millisecond, up to the busy time-out. The engine's own waiting
    // sleeps up to a tenth of a second at a time, and may never look while
    // a program writing row after row has let go of the file for a moment:
    // it would then wait in vain and be refused.
    static int waitStep(void*, int tries) {
        if (tries >= kBusyTimeoutMs) return 0;
        sqlite3_sleep(1);
        return 1;
    }
    static void waitInShortSteps(QSqlDatabase& db) {
        if (sqlite3* h = handleOf(db)) sqlite3_busy_handler(h, waitStep, nullptr);
    }

    // Whether the engine's own interface may be used beside the driver's:
    // only when the driver runs on the very library this program calls
    // (the same version is the test that can be made without calling it).
    // Registers the row fingerprint then.
    static bool useNative(QSqlDatabase& db) {
        sqlite3* h = handleOf(db);
        if (!h) return false;
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("select sqlite_version()")) || !q.next() ||
            q.value(0).toString() != QString::fromLatin1(sqlite3_libversion()))
            return false;
        q.finish();
        return sqlite3_create_function_v2(h, kDigestFunction, -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                          rowDigestFunction, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    // Opens db on uri and reads the catalogue: SQLite opens anything lazily,
    // so only a read proves the file is a database we can use.
    void openAndProbe(QSqlDatabase& db, const QString& uri) const {
        db.setDatabaseName(uri);
        if (!db.open()) throw DbError(why(db.lastError()));
        waitInShortSteps(db);
        native_ = useNative(db);
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("select count(*) from sqlite_master"))) {
            const QSqlError e = q.lastError();
            q.finish();
            db.close();
            throw DbError(why(e));
        }
        q.finish();
    }

    // A failure to open in words.
    static QString why(const QSqlError& e) {
        const QString t = e.databaseText().isEmpty() ? e.text() : e.databaseText();
        if (t.contains(QLatin1String("not a database")))
            return QStringLiteral("The file is not a database, or it is damaged (%1).").arg(t);
        if (t.contains(QLatin1String("malformed")))
            return QStringLiteral("The database file is damaged (%1).").arg(t);
        if (t.contains(QLatin1String("locked")))
            return QStringLiteral("The database file is locked by another program (%1).").arg(t);
        if (t.contains(QLatin1String("unable to open")))
            return QStringLiteral("The database file cannot be opened: the file or its folder may not "
                                  "be accessible (%1).").arg(t);
        return t;
    }

public:
    QVector<FieldDef> tableFields(QSqlDatabase& db, const QString& table) const override {
        QVector<FieldDef> out;
        QString name = table;
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
            name = name.mid(1, name.size() - 2);
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("pragma table_info(\"%1\")")
                        .arg(QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")))))
            throw DbError(q.lastError().text());
        while (q.next()) {
            FieldDef f = fieldFromDeclaredType(q.value(1).toString(), q.value(2).toString());
            // An INTEGER PRIMARY KEY is SQLite's row number: assigned on insert.
            if (q.value(5).toInt() > 0 && f.kind == FieldKind::Integer) f.autoInc = true;
            out << f;
        }
        return out;
    }

    QString rowKey(QSqlDatabase&, const QString& table) const override {
        return table + QStringLiteral(".rowid");
    }

    QString quoteName(const QString& name) const override {
        return QLatin1Char('[') + name + QLatin1Char(']');
    }

    // A table as the engine keeps it: its name as spelt there, the CREATE
    // statement, and the statements of its indexes (a table made again loses them).
    struct TableText {
        QString name, create;
        QStringList indexes;
    };
    TableText tableText(QSqlDatabase& db, const QString& table) const {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select name, sql from sqlite_master where tbl_name = ? collate nocase "
                                 "and sql is not null order by type desc"));
        q.addBindValue(table);
        if (!q.exec()) throw DbError(describe(q.lastError()));
        TableText out;
        while (q.next()) {
            const QString sql = q.value(1).toString();
            if (sql.startsWith(QLatin1String("CREATE TABLE"), Qt::CaseInsensitive)) {
                out.name = q.value(0).toString();
                out.create = sql;
            } else {
                out.indexes << sql;
            }
        }
        return out;
    }

    QStringList keyColumnStatements(QSqlDatabase& db, const QString& table, const QString& key) const override {
        // SQLite cannot add a key to a table: the table is made again with
        // the key in front, each row keeping its row number as its key.
        const auto [name, create, indexes] = tableText(db, table);
        const qsizetype open = create.indexOf(QLatin1Char('('));
        const qsizetype close = create.lastIndexOf(QLatin1Char(')'));
        if (name.isEmpty() || open < 0 || close < open)
            throw DbError(QStringLiteral("The table %1 cannot be read to add its key.").arg(table));
        QStringList columns;
        for (const FieldDef& f : tableFields(db, name)) columns << QLatin1Char('"') + f.name + QLatin1Char('"');
        const QString cols = columns.join(QLatin1Char(','));
        const QString fresh = name + QStringLiteral("_new");
        QStringList out;
        out << QStringLiteral("CREATE TABLE %1 (\n    %2 INTEGER PRIMARY KEY AUTOINCREMENT,%3)")
                   .arg(fresh, key, create.mid(open + 1, close - open - 1));
        out << QStringLiteral("INSERT INTO %1 (%2, %3) SELECT rowid, %3 FROM %4 ORDER BY rowid")
                   .arg(fresh, key, cols, name);
        out << QStringLiteral("DROP TABLE %1").arg(name);
        out << QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(fresh, name);
        out << indexes;
        return out;
    }

    QStringList tablesStoringNumberLikeMemos(QSqlDatabase& db) const override {
        // The declared type MEMO alone gives a column numeric affinity.
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("select distinct m.name from sqlite_master m, pragma_table_info(m.name) c "
                                   "where m.type = 'table' and m.name not like 'sqlite\\_%' escape '\\' "
                                   "and upper(trim(c.type)) = 'MEMO' order by m.name")))
            throw DbError(describe(q.lastError()));
        QStringList out;
        while (q.next()) out << q.value(0).toString();
        return out;
    }

    void keepMemosAsText(QSqlDatabase& db, const QString& table) const override {
        auto run = [&](const QString& sql, const QVariantList& values = {}) {
            QSqlQuery q(db);
            bool ok;
            if (values.isEmpty()) {
                ok = q.exec(sql);
            } else {
                ok = q.prepare(sql);
                for (const QVariant& v : values) q.addBindValue(v);
                ok = ok && q.exec();
            }
            if (!ok) throw DbError(describe(q.lastError()));
            return q;
        };
        const auto [name, create, indexes] = tableText(db, table);
        QStringList memos, columns;
        bool rowidKey = false;
        {
            QSqlQuery q = run(QStringLiteral("select name, type, pk from pragma_table_info(?)"), {name});
            int keys = 0;
            while (q.next()) {
                const QString column = q.value(0).toString();
                columns << column;
                if (q.value(1).toString().trimmed().compare(QLatin1String("MEMO"), Qt::CaseInsensitive) == 0)
                    memos << column.toLower();
                if (q.value(2).toInt() > 0) {
                    ++keys;
                    rowidKey = q.value(1).toString().trimmed().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
                }
            }
            rowidKey = rowidKey && keys == 1;
        }
        int changed = 0;
        const QString changedCreate = withMemosAsText(create, memos, &changed);
        const qsizetype open = changedCreate.indexOf(QLatin1Char('('));
        const qsizetype close = changedCreate.lastIndexOf(QLatin1Char(')'));
        if (name.isEmpty() || memos.isEmpty() || changed != memos.size() || open < 0 || close < open)
            throw DbError(QStringLiteral("The table %1 cannot be read to change its memo columns.").arg(table));

        const QString fresh = name + QStringLiteral("_new");
        QStringList into, from;
        // A table without a key of its own keeps its row numbers too.
        if (!rowidKey) {
            into << QStringLiteral("rowid");
            from << QStringLiteral("rowid");
        }
        for (const QString& column : columns) {
            const QString quoted = QLatin1Char('"') + QString(column).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                                   QLatin1Char('"');
            into << quoted;
            from << quoted;
        }
        run(QStringLiteral("CREATE TABLE %1 (%2)").arg(fresh, changedCreate.mid(open + 1, close - open - 1)));
        run(QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 ORDER BY rowid")
                .arg(fresh, into.join(QLatin1Char(',')), from.join(QLatin1Char(',')), name));
        // A number stored as a real is kept as the text the program showed for
        // it ("0.30000000000000004", "1e-07"), not as the engine's own, which
        // has 15 digits at most ("0.3", "1.0e-07").
        for (const QString& column : columns) {
            if (!memos.contains(column.toLower())) continue;
            const QString quoted = QLatin1Char('"') + QString(column).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                                   QLatin1Char('"');
            QSqlQuery reals = run(QStringLiteral("select rowid, %1 from %2 where typeof(%1) = 'real'").arg(quoted, name));
            QSqlQuery update(db);
            if (!update.prepare(QStringLiteral("update %1 set %2 = ? where rowid = ?").arg(fresh, quoted)))
                throw DbError(describe(update.lastError()));
            while (reals.next()) {
                update.addBindValue(QVariant(reals.value(1).toDouble()).toString());
                update.addBindValue(reals.value(0));
                if (!update.exec()) throw DbError(describe(update.lastError()));
            }
        }
        // The next key stays past every key ever handed out, deleted ones too:
        // the copy alone would start again after the largest one left.
        if (create.contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive)) {
            run(QStringLiteral("delete from sqlite_sequence where name = ?"), {fresh});
            run(QStringLiteral("insert into sqlite_sequence (name, seq) select ?, seq from sqlite_sequence where name = ?"),
                {fresh, name});
        }
        run(QStringLiteral("DROP TABLE %1").arg(name));
        run(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(fresh, name));
        for (const QString& index : indexes) run(index);
    }

    QStringList createTableStatements(const QString& table, const QList<ColumnSpec>& columns) const override {
        QStringList defs;
        for (const ColumnSpec& c : columns) {
            QString d = c.name + QLatin1Char(' ');
            if (c.key) {
                defs << d + QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
                continue;
            }
            switch (c.kind) {
            case FieldKind::Text:
                d += c.size > 0 ? QStringLiteral("VARCHAR(%1) CHECK (length(%2) <= %1)").arg(c.size).arg(c.name)
                                : QStringLiteral("MEMO TEXT");
                break;
            // TEXT gives the column text affinity: with MEMO alone "007" would be stored as 7.
            case FieldKind::Memo: d += QStringLiteral("MEMO TEXT"); break;
            case FieldKind::Integer: d += QStringLiteral("INTEGER"); break;
            case FieldKind::Float: d += QStringLiteral("REAL"); break;
            case FieldKind::Bool: d += QStringLiteral("BOOLEAN CHECK (%1 IN (0, 1))").arg(c.name); break;
            case FieldKind::DateTime: d += QStringLiteral("DATETIME"); break;
            }
            if (c.notNull) d += QStringLiteral(" NOT NULL");
            if (!c.defaultValue.isEmpty()) d += QStringLiteral(" DEFAULT ") + c.defaultValue;
            defs << d;
        }
        return {QStringLiteral("CREATE TABLE %1 (%2)").arg(table, defs.join(QStringLiteral(", ")))};
    }

    bool copyDatabase(QSqlDatabase& db, const QString& path) const override {
        // A consistent copy even while other programs use the file.
        QSqlQuery q(db);
        q.prepare(QStringLiteral("VACUUM INTO ?"));
        q.addBindValue(path);
        if (!q.exec()) throw DbError(describe(q.lastError()));
        return true;
    }

    // A writer locks the whole file here, so rows need no locks of their own.
    QString rowLock(const QString&) const override { return QString(); }

    // A transaction starts as a writer: one that reads first and writes
    // later could not wait for another program's write (the engine refuses
    // it at once, as waiting could deadlock), while a writer from the start
    // waits up to the busy time-out for its turn.
    QString beginStatement() const override { return QStringLiteral("BEGIN IMMEDIATE"); }

    std::unique_ptr<RepeatedStatement> repeated(QSqlDatabase& db, const QString& sql, bool behind) const override {
        if (!native_) return nullptr;
        sqlite3* h = handleOf(db);
        if (!h) return nullptr;
        auto st = std::make_unique<SqliteRepeated>(h, sql, behind);
        // A statement the engine refuses is prepared by the driver, which tells why.
        if (!st->prepared()) return nullptr;
        return st;
    }

    QString rowDigest(QSqlDatabase&, const QVector<FieldDef>& cols) const override {
        if (!native_ || cols.isEmpty()) return QString();
        QStringList names;
        for (const FieldDef& f : cols) names << quoteName(f.name);
        return QString::fromLatin1(kDigestFunction) + QLatin1Char('(') + names.join(QLatin1Char(',')) + QLatin1Char(')');
    }

    QString rowDigestTag() const override { return QString::fromLatin1(kDigestTag); }

    QString sameValue(const QString& column, FieldKind kind) const override {
        // Dates may be stored with or without their time: compare them as dates.
        if (kind == FieldKind::DateTime)
            return QStringLiteral("datetime(%1) IS datetime(?)").arg(column);
        return column + QStringLiteral(" IS ?");
    }

private:
    mutable bool native_ = false;
};

}  // namespace

std::unique_ptr<Dialect> makeSqliteDialect() { return std::make_unique<SqliteDialect>(); }

}  // namespace db
