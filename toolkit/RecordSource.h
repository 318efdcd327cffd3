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
    // A value and its text without reading anything: false when they are
    // not in memory. For painting after a read failed: what is there shows.
    virtual bool cachedAt(int row, int field, QVariant* value, QString* text) const {
        *value = valueAt(row, field);
        *text = textAt(row, field);
        return true;
    }
    // Most characters the field can store; 0 when it has no limit.
    virtual int fieldSize(int /*field*/) const { return 0; }
    // Some fields of count rows from row from on, a row at a time: for
    // walking a long list without reading more than is needed.
    virtual QVector<QVector<QVariant>> blockValues(const QList<int>& fields, int from, int count) const {
        QVector<QVector<QVariant>> out;
        for (int i = from; i < from + count && i < recordCount(); ++i) {
            QVector<QVariant> row;
            for (int f : fields) row << valueAt(i, f);
            out << row;
        }
        return out;
    }
    // One field of count rows from row from on.
    QVector<QVariant> columnValues(int field, int from, int count) const {
        QVector<QVariant> out;
        for (const auto& row : blockValues({field}, from, count)) out << row.value(0);
        return out;
    }
    virtual int currentRow() const = 0;       // -1 when empty or closed
    virtual void setCurrentRow(int row) = 0;  // moves the cursor

    // Editing through a grid that allows it (DataGrid::setEditable). A record
    // set that cannot be changed keeps these defaults.
    // True while a new row, not yet posted, is being filled in; an editing
    // grid shows it after the last row, at index recordCount().
    virtual bool inserting() const { return false; }
    // True while a row is being edited or inserted and not yet posted.
    virtual bool changing() const { return false; }
    // Sets one field of a row (recordCount() is the new row). A pending
    // change of another row is posted first. Throws when refused.
    virtual void setValueAt(int row, int field, const QVariant& v);
    // Writes the pending change, if any; throws when refused.
    virtual void postChanges() {}
    // Drops the pending change, if any.
    virtual void cancelChanges() {}

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
    // A change of the row being edited or inserted began, was posted or was dropped.
    void editStateChanged();
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
