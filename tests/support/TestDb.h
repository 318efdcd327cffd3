#pragma once
// A private copy of the supplied database in a temporary program folder, with
// a data module opened on it.
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

#include "app/U_data.h"

namespace testsupport {

class TestDb {
public:
    TestDb();  // copies the supplied database; QVERIFY(ok()) in the caller
    ~TestDb();
    bool ok() const { return ok_; }
    QString dir() const { return tmp_.path(); }
    QString dbPath() const;
    // Opens the data module on this folder and installs it as Frm_Data.
    TFrm_Data* openData();
    TFrm_Data* data() const { return data_.get(); }
    // Runs SQL that must succeed (test set-up), returns false and warns if not.
    bool exec(const QString& sql);

    // The statement opened on a record set of its own, to read its rows.
    std::unique_ptr<db::Query> select(const QString& sql);
    // What a statement reads now, through a record set of its own: the number
    // of rows; the first column of the first row as a number ("select
    // count(*) ..."); a column of the first row as stored, or as text, both
    // "<none>" when there is no row.
    int rowCount(const QString& sql);
    int scalar(const QString& sql);
    QVariant value(const QString& sql, const QString& field);
    QString text(const QString& sql, const QString& field);

private:
    QTemporaryDir tmp_;
    std::unique_ptr<TFrm_Data> data_;
    bool ok_ = false;
};

}  // namespace testsupport
