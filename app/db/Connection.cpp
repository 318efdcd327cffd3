#include "app/db/Connection.h"

#include <QSqlError>
#include <QUuid>

#include "app/db/DbError.h"
#include "app/db/SqlTokens.h"

namespace db {

namespace {
// "Provider=X;Data Source=Y": the data source runs to the end of the string,
// so a path may hold any character.
void parseConnString(const QString& s, QString& provider, QString& source) {
    const QString ds = QStringLiteral("Data Source=");
    const int at = s.indexOf(ds, 0, Qt::CaseInsensitive);
    const QString head = at >= 0 ? s.left(at) : s;
    source = at >= 0 ? s.mid(at + ds.size()) : QString();
    for (const QString& part : head.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int eq = part.indexOf(QLatin1Char('='));
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
}

void Connection::checkWritable() const {
    if (readOnly()) throw DbError(readOnlyMessage());
}

QString Connection::describe(const QSqlError& error) const {
    return dialect_ ? dialect_->describe(error) : error.text();
}

void Connection::close() {
    if (db_.isValid() && db_.isOpen()) db_.close();
    fieldCache_.clear();
    keyCache_.clear();
    inTrans_ = false;
    readOnlyReason_.clear();
}

bool Connection::connected() const { return db_.isValid() && db_.isOpen(); }

void Connection::beginTrans() {
    if (!connected()) throw DbError(QStringLiteral("Not connected to a database"));
    if (!db_.transaction()) throw DbError(describe(db_.lastError()));
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
        it = keyCache_.insert(k, dialect_->rowKey(db_, table));
    }
    return *it;
}

const QVector<FieldDef>& Connection::tableFields(const QString& table) {
    const QString key = table.toLower();
    auto it = fieldCache_.find(key);
    if (it == fieldCache_.end()) {
        if (!connected()) throw DbError(QStringLiteral("Not connected to a database"));
        it = fieldCache_.insert(key, dialect_->tableFields(db_, table));
    }
    return *it;
}

}  // namespace db
