#include "app/db/Connection.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include "app/db/DbError.h"
#include "app/db/SqlTokens.h"

namespace db {

namespace {
// How often a lost connection is tried again when used.
constexpr qint64 kRetryMs = 2000;

// "Provider=X;Data Source=Y": the data source runs to the end of the string,
// so a path may hold any character.
void parseConnString(const QString& s, QString& provider, QString& source) {
    const QString ds = QStringLiteral("Data Source=");
    const qsizetype at = s.indexOf(ds, 0, Qt::CaseInsensitive);
    const QString head = at >= 0 ? s.left(at) : s;
    source = at >= 0 ? s.mid(at + ds.size()) : QString();
    for (const QString& part : head.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 && part.left(eq).trimmed().compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0)
            provider = part.mid(eq + 1).trimmed();
    }
}
}  // namespace

Connection::Connection(QObject* parent)
    : QObject(parent), name_(QStringLiteral("tallix-") + QUuid::createUuid().toString()) {}

Connection::~Connection() {
    close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

QString Connection::connStringForFile(const QString& path) {
    return QStringLiteral("Provider=SQLite;Data Source=") + path;
}

bool Connection::isServerAddress(const QString& dbConn) {
    const QString t = dbConn.trimmed();
    return t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString Connection::connStringFor(const QString& dbConn) {
    if (isServerAddress(dbConn)) return QStringLiteral("Provider=PostgreSQL;Data Source=") + dbConn.trimmed();
    return connStringForFile(dbConn);
}

void Connection::open(const QString& connString) {
    close();
    QString provider, source;
    parseConnString(connString, provider, source);
    dialect_ = Dialect::forProvider(provider);
    if (!db_.isValid()) db_ = QSqlDatabase::addDatabase(dialect_->driver(), name_);
    if (!db_.isValid())
        throw DbError(QStringLiteral("The database driver %1 is not available").arg(dialect_->driver()));
    connString_ = connString;
    readOnlyReason_ = dialect_->open(db_, source).readOnlyReason;
    lost_ = false;
}

void Connection::checkWritable() const {
    if (readOnly()) throw DbError(readOnlyMessage());
}

void Connection::fail(const QSqlQuery& q) const { throw DbError(describe(q.lastError())); }

QString Connection::describe(const QSqlError& error) const {
    if (!dialect_) return error.text();
    if (dialect_->connectionLost(error)) markLost();
    return dialect_->describe(error);
}

void Connection::markLost() const {
    if (lost_) return;
    lost_ = true;
    lastTry_ = 0;
    // Told after the failing operation has finished unwinding.
    QMetaObject::invokeMethod(const_cast<Connection*>(this), &Connection::lost, Qt::QueuedConnection);
}

QString Connection::unreachableText() {
    return QStringLiteral("The database server cannot be reached. Your windows and what you typed are kept; "
                          "Tallix connects again as soon as the server is back, so please try again then.");
}

QSqlDatabase& Connection::database() {
    // A server restarted while the program was idle: found out before a
    // statement fails on it, and the session opened anew at once.
    if (!lost_ && !inTrans_ && dialect_ && dialect_->sessionGone(db_)) markLost();
    if (lost_) {
        // Not tried again at every row a window paints while the server
        // is away: at most every few seconds.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (inTrans_ || now - lastTry_ < kRetryMs || !reconnect()) throw DbError(unreachableText());
    }
    return db_;
}

bool Connection::noticeLoss() {
    if (!lost_ && !inTrans_ && dialect_ && dialect_->sessionGone(db_)) markLost();
    return lost_;
}

std::function<bool()> Connection::serverAnswers() const {
    std::function<bool()> ask = dialect_ ? dialect_->serverAnswers(db_) : std::function<bool()>();
    return ask ? ask : [] { return true; };
}

bool Connection::reconnect() {
    if (!lost_) return true;
    // A transaction begun on the lost session cannot go on in a new one:
    // what it wrote is gone, and the rest would be stored on its own. It
    // is rolled back first (TransactionGuard), then the next use connects.
    if (inTrans_ || connString_.isEmpty()) return false;
    const QString s = connString_;
    try {
        open(s);
    } catch (const DbError&) {
        lost_ = true;
        lastTry_ = QDateTime::currentMSecsSinceEpoch();
        return false;
    }
    QMetaObject::invokeMethod(this, &Connection::reconnected, Qt::QueuedConnection);
    return true;
}

void Connection::close() {
    if (db_.isValid() && db_.isOpen()) db_.close();
    fieldCache_.clear();
    keyCache_.clear();
    inTrans_ = false;
    readOnlyReason_.clear();
    lost_ = false;
}

bool Connection::connected() const { return lost_ || (db_.isValid() && db_.isOpen()); }

void Connection::beginTrans() {
    if (!connected()) throw DbError(QStringLiteral("Not connected to a database"));
    database();  // a lost connection opened again, or the refusal
    const QString begin = dialect_->beginStatement();
    if (begin.isEmpty()) {
        if (!db_.transaction()) throw DbError(describe(db_.lastError()));
    } else {
        QSqlQuery q(db_);
        if (!q.exec(begin)) fail(q);
    }
    inTrans_ = true;
}

void Connection::commitTrans() {
    if (!db_.commit()) throw DbError(describe(db_.lastError()));
    inTrans_ = false;
}

void Connection::rollbackTrans() {
    inTrans_ = false;
    if (!db_.rollback()) throw DbError(describe(db_.lastError()));
}

QString Connection::sql(const QString& text) const {
    if (!dialect_) return text;
    return SqlText(text).render(*dialect_).sql;
}

const QString& Connection::rowKey(const QString& table) {
    const QString k = table.toLower();
    auto it = keyCache_.find(k);
    if (it == keyCache_.end()) {
        if (!connected()) throw DbError(QStringLiteral("Not connected to a database"));
        it = keyCache_.insert(k, dialect_->rowKey(database(), table));
    }
    return *it;
}

const QVector<FieldDef>& Connection::tableFields(const QString& table) {
    const QString key = table.toLower();
    auto it = fieldCache_.find(key);
    if (it == fieldCache_.end()) {
        if (!connected()) throw DbError(QStringLiteral("Not connected to a database"));
        it = fieldCache_.insert(key, dialect_->tableFields(database(), table));
    }
    return *it;
}

}  // namespace db
