#pragma once
// A private copy of the supplied database in a temporary program folder, with
// a data module opened on it.
#include <QTemporaryDir>
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

private:
    QTemporaryDir tmp_;
    std::unique_ptr<TFrm_Data> data_;
    bool ok_ = false;
};

}  // namespace testsupport
