#pragma once
// Envelope labels: one label per contact of each customer in the list, two
// across. A customer without contacts gets no label.
//
// On plain paper (the default) the page carries a header and a footer and
// the labels are 385 x 142 report pixels, two to a row without a gap. On a
// ready-cut label sheet chosen in "Envelop Format Setup" the labels go where
// the sheet's geometry puts them, with no page header or footer, starting at
// the chosen label of the first sheet.
#include <memory>

#include "reports/LabelSheet.h"
#include "reports/ReportSources.h"
#include "reports/ReportWindow.h"

class TFrm_R_CustBar : public TReportWindow {
    Q_OBJECT
public:
    explicit TFrm_R_CustBar(QWidget* parent = nullptr);
    ~TFrm_R_CustBar() override;

    void FormCreate();
    // Lays the labels out for settings (FormCreate reads them from config.ini).
    void ApplySettings(const EnvelopSettings& settings);

    EnvelopSettings Settings;

    report::Band& QRPageHeader;
    // The customer's header band stays off: it is empty, and its 13 px per
    // customer would push every following row of labels off the 142 px pitch
    // (and off the label sheet's rows), so labels would drift down the page.
    report::Band& QRBand2;
    report::Band& QRSubDetail1;   // one label
    report::Band& QRPageFooter;

private:
    std::unique_ptr<CustomerContacts> contacts_;
    std::unique_ptr<CustomerRows> customers_;
    std::unique_ptr<LabelData> labels_;
};
