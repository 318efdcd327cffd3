#include "tests/support/TestDb.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include "app/db/DbError.h"

namespace testsupport {

namespace {
const QString kNoRow = QStringLiteral("<none>");
}

TestDb::TestDb() {
    ok_ = tmp_.isValid() && QFile::copy(QStringLiteral(TALLIX_SUPPLIED_DB), dbPath());
    if (ok_) QFile(dbPath()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

TestDb::~TestDb() {
    data_.reset();
}

QString TestDb::dbPath() const { return QDir(tmp_.path()).filePath(QStringLiteral("custom.db")); }

TFrm_Data* TestDb::openData() {
    data_.reset();
    data_ = std::make_unique<TFrm_Data>(tmp_.path());
    Frm_Data = data_.get();
    return data_.get();
}

bool TestDb::exec(const QString& sql) {
    if (!data_) openData();
    try {
        data_->Qry_Temp->setSql(sql);
        data_->Qry_Temp->execSql();
        return true;
    } catch (const db::DbError& e) {
        qWarning("%s", qPrintable(e.text()));
        return false;
    }
}

std::unique_ptr<db::Query> TestDb::select(const QString& sql) {
    if (!data_) openData();
    auto q = std::make_unique<db::Query>(data_->Connection);
    q->setSql(sql);
    q->open();
    return q;
}

int TestDb::rowCount(const QString& sql) { return select(sql)->recordCount(); }

int TestDb::scalar(const QString& sql) { return int(select(sql)->field(0).asInteger()); }

QVariant TestDb::value(const QString& sql, const QString& field) {
    const auto q = select(sql);
    return q->isEmpty() ? QVariant(kNoRow) : q->field(field).value();
}

QString TestDb::text(const QString& sql, const QString& field) {
    const auto q = select(sql);
    return q->isEmpty() ? kNoRow : q->field(field).asString();
}

}  // namespace testsupport
