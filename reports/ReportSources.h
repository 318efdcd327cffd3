#pragma once
// The customer list and its contacts as the reports read them.
//
// The reports never move the shared lists: customers are read by position
// from Qry_Cust as its grid reads them, and each customer's contacts come
// from a statement of our own ("contact where CustID = the customer's
// number", what the browser's contact list runs for the current customer),
// read for a run of customers at a time. So the browser's grids do not
// follow the report row by row, its current rows stay where the user left
// them, and each customer gets its own contacts whatever the contact list
// shows at the time (a name search or the whole contact table).
#include <QStringList>
#include <QVector>
#include <memory>

#include "toolkit/report/ReportData.h"

namespace db {
class Connection;
class Query;
}  // namespace db

class CustomerContacts : public report::DetailData {
public:
    // customers: the customer list (not owned); batch: customers whose
    // contacts are read with one statement.
    CustomerContacts(db::Query* customers, db::Connection* connection, int batch = 200);
    ~CustomerContacts() override;

    int fieldIndex(const QString& name) override;  // a column of table contact
    int rowCount(int masterRow) override;
    QString text(int masterRow, int row, int field) override;

    // The customer's main contact (the first marked Main, else the first),
    // or -1 when it has none.
    int mainContact(int masterRow);
    // Statements run so far (tests: contacts are read in runs).
    int statements() const { return statements_; }

private:
    struct Contact {
        QStringList texts;
        bool main = false;
    };
    const QVector<Contact>& contactsOf(int masterRow);

    db::Query* customers_;
    db::Connection* connection_;
    int batch_;
    QStringList fields_;
    int mainField_ = -1;
    int from_ = 0, to_ = 0;   // customer rows whose contacts are loaded
    QVector<QVector<Contact>> loaded_;
    int statements_ = 0;
};

// The customers of the list, by position, with the texts the grid shows.
class CustomerRows : public report::RecordSourceData {
public:
    explicit CustomerRows(db::Query* customers);
};

// One row per customer for the customer list report: the company's own
// columns, and Name and Mobile of its main contact.
class CustomerListData : public report::ReportData {
public:
    CustomerListData(db::Query* customers, CustomerContacts* contacts);
    int rowCount() override;
    int fieldIndex(const QString& name) override;
    QString text(int row, int field) override;

    static QStringList contactFields();  // the columns taken from the main contact

private:
    db::Query* customers_;
    CustomerContacts* contacts_;
};

// One row per contact for the envelope labels: the contact's post code,
// address and company, or the customer's where the contact has none (an
// envelope with no address is no use), and the contact's name.
class LabelData : public report::DetailData {
public:
    LabelData(db::Query* customers, CustomerContacts* contacts);
    int fieldIndex(const QString& name) override;
    int rowCount(int masterRow) override;
    QString text(int masterRow, int row, int field) override;

private:
    db::Query* customers_;
    CustomerContacts* contacts_;
};
