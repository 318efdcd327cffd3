#pragma once
// The customer list: a ruled table with one row per customer of the list as
// the user has it (its filter and its order), A4 portrait.
//
// Company, address and telephone are the company's own; the contact column
// and the last one show the customer's main contact (the one marked Main,
// else its first) and that person's mobile number, which is what the last
// column's heading says.
#include <memory>

#include "reports/ReportSources.h"
#include "reports/ReportWindow.h"

class TFrm_R_Cust : public TReportWindow {
    Q_OBJECT
public:
    explicit TFrm_R_Cust(QWidget* parent = nullptr);
    ~TFrm_R_Cust() override;

    report::Band& QRPageHeader;
    report::Band& QRDetail;
    report::Band& QRPageFooter;

    // x of the vertical rules that divide the columns.
    static const QVector<double>& ColumnRules();

private:
    std::unique_ptr<CustomerContacts> contacts_;
    std::unique_ptr<CustomerListData> rows_;
};
