#pragma once
// Finding a customer by part of its name as the user types, without loading
// every customer: names that begin with the text come first (an index walk),
// then names that hold it elsewhere, at most a screenful in all.
#include <QComboBox>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QCompleter;
class QStringListModel;
namespace db {
class Connection;
}

namespace activities {

struct CustomerHit {
    qlonglong id = -1;
    QString company;
};

// How many customers the finder offers at most.
constexpr int kFinderLimit = 50;

// Customers whose name begins with text, then those whose name holds text
// elsewhere (a like match, blind to the case of Latin letters; "%" and "_"
// stay wildcards), each group in name order, at most limit in all. An empty text gives the first names in name order.
QList<CustomerHit> findCustomers(db::Connection* c, const QString& text, int limit = kFinderLimit);
// The number of the first customer named exactly company; -1 when there is none.
qlonglong customerIdOf(db::Connection* c, const QString& company);
// The names of a customer's contacts, main contacts first.
QStringList contactsOf(db::Connection* c, qlonglong custId);

// Turns an editable combo box into a customer finder: each change the user
// types asks the finder again and offers its answer in a list under the box
// (and in the box's own drop-down). The chosen customer is the one picked
// from the list, or the one whose name is typed exactly.
class CustomerBox : public QObject {
    Q_OBJECT
public:
    CustomerBox(QComboBox* box, db::Connection* c);

    // The chosen customer's number; -1 when the text names none.
    qlonglong custId() const { return id_; }
    QString text() const { return box_->currentText(); }
    // Shows a stored customer: its name, and its number (-1 for none).
    void setCustomer(qlonglong id, const QString& company);
    // What the finder offered last.
    const QList<CustomerHit>& hits() const { return hits_; }
    QCompleter* completer() const { return completer_; }
    // Asks the finder for text, as a keystroke does.
    void search(const QString& text);

signals:
    // The chosen customer changed (-1: none).
    void customerChanged(qlonglong id);

private:
    void choose(qlonglong id);
    void pickRow(int row);
    void showHits();

    QPointer<QComboBox> box_;
    db::Connection* conn_;
    QCompleter* completer_;
    QStringListModel* model_;
    QList<CustomerHit> hits_;
    qlonglong id_ = -1;
    bool filling_ = false;
};

}  // namespace activities
