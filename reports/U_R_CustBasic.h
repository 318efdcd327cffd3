#pragma once
// The customer basic-information report: per customer a grey band with the
// customer fields the user chose to print, then a row per contact with the
// chosen contact fields. A4 landscape.
#include <QVector>
#include <memory>

#include "reports/ReportSources.h"
#include "reports/ReportWindow.h"

// A field chosen for printing: its column, caption and grid width.
struct PrintField {
    QString field;
    QString name;
    int width = 0;
};

// The band has room for six chosen fields; more are not placed.
constexpr int kMaxPrintFields = 6;

// Left of the caption of each field, from the widths of the fields before it.
QVector<double> PrintFieldLefts(const QVector<int>& widths, bool contactBand);
// Puts a caption and a data field for each of the first six fields into band.
void PlacePrintFields(report::Band& band, const QVector<PrintField>& fields, bool contactBand, double bandWidth);
// The chosen fields of a table ("Custom" or "Contact"), read through Qry_Print
// in the report's order: customers by ID, contacts by ShowID.
QVector<PrintField> ChosenPrintFields(const QString& tableName);

class TFrm_R_CustBasic : public TReportWindow {
    Q_OBJECT
public:
    explicit TFrm_R_CustBasic(QWidget* parent = nullptr);
    ~TFrm_R_CustBasic() override;

    void FormCreate();

    report::Band& QRBand1;        // page header
    report::Band& QRBand2;        // the customer's fields, once per customer
    report::Band& QRSubDetail1;   // a contact's fields, once per contact
    report::Band& QRBand3;        // page footer

    // Fields placed when the window was made.
    QVector<PrintField> CustomerFields, ContactFields;

private:
    void BuildCustomerBand();
    void BuildContactBand();

    std::unique_ptr<CustomerRows> customers_;
    std::unique_ptr<CustomerContacts> contacts_;
};
