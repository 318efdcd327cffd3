#pragma once
// What a grid needs of a record set: rows read by position, field names and
// labels, a current row, and notice of every change before and after it.
#include <QObject>
#include <QVariant>

namespace toolkit {

class RecordSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual int recordCount() const = 0;
    virtual int fieldCount() const = 0;
    virtual int fieldIndex(const QString& name) const = 0;  // -1 when absent
    virtual QString fieldName(int field) const = 0;
    virtual QString displayLabel(int field) const = 0;
    virtual QVariant valueAt(int row, int field) const = 0;
    virtual QString textAt(int row, int field) const = 0;
    virtual int currentRow() const = 0;       // -1 when empty or closed
    virtual void setCurrentRow(int row) = 0;  // moves the cursor

signals:
    void aboutToReset();
    void resetDone();
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void currentRowChanged(int row);
    void labelsChanged();
};

// Binds grids (and detail record sets) to a record set.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(RecordSource* dataSet = nullptr, QObject* parent = nullptr)
        : QObject(parent), dataSet_(dataSet) {}
    RecordSource* dataSet() const { return dataSet_; }
    void setDataSet(RecordSource* ds);

signals:
    void dataSetChanged();

private:
    RecordSource* dataSet_ = nullptr;
};

}  // namespace toolkit
