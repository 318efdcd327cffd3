#include "reports/U_R_CustBar.h"

#include "app/U_data.h"
#include "toolkit/DialogService.h"

namespace {
constexpr double kLabelWidth = 385, kLabelHeight = 142;
}

TFrm_R_CustBar::TFrm_R_CustBar(QWidget* parent)
    : TReportWindow(parent),
      QRPageHeader(Report.pageHeader),
      QRBand2(Report.groupHeader),
      QRSubDetail1(Report.subDetail),
      QRPageFooter(Report.pageFooter) {
    setObjectName(QStringLiteral("Frm_R_CustBar"));
    Report.title = QStringLiteral("Customer Envelop Label");
    Report.baseFont = {QStringLiteral("Arial"), 10, false};
    FormCreate();
}

TFrm_R_CustBar::~TFrm_R_CustBar() = default;

void TFrm_R_CustBar::FormCreate() {
    contacts_ = std::make_unique<CustomerContacts>(Frm_Data->Qry_Cust, Frm_Data->Connection);
    customers_ = std::make_unique<CustomerRows>(Frm_Data->Qry_Cust);
    labels_ = std::make_unique<LabelData>(Frm_Data->Qry_Cust, contacts_.get());
    Report.master = customers_.get();
    Report.details = labels_.get();
    ApplySettings(ReadEnvelopSettings(*Frm_Data->ConfigIni));
    if (!Settings.problem.isEmpty())
        toolkit::dialogs().message(
            QStringLiteral("The label sheet set in Envelop Format Setup cannot be used: %1\n"
                           "The labels are laid out on plain paper instead; choose the sheet again in "
                           "System > Envelop Format Setup.").arg(Settings.problem),
            QStringLiteral("Customer Envelop Label"), toolkit::Icon::Warning);
}

void TFrm_R_CustBar::ApplySettings(const EnvelopSettings& settings) {
    Settings = settings;
    Report.page = report::PageSetup();
    Report.page.orientation = QPageLayout::Portrait;
    QRBand2 = report::Band();

    if (settings.sheet.isEnvelope()) {
        QRPageHeader = report::Band(40);
        QRPageHeader.add(report::Element::label(280, 8, QStringLiteral("Customer Envelop Label"),
                                                report::TypeFace{QStringLiteral("宋体"), 14, true}));
        QRPageFooter = report::Band(40);
        QRPageFooter.add(report::Element::label(32, 8, QStringLiteral("PageNO:")));
        QRPageFooter.add(report::Element::pageNumber(96, 8));
        QRPageFooter.add(report::Element::label(576, 8, QStringLiteral("Date:")));
        QRPageFooter.add(report::Element::printDate(616, 8));

        QRSubDetail1 = EnvelopeLabelBand(QSizeF(kLabelWidth, kLabelHeight));
        QRSubDetail1.grid.columns = 2;
        QRSubDetail1.grid.columnWidth = kLabelWidth;
        QRSubDetail1.grid.skip = settings.skipped();
        return;
    }

    // A label sheet: the sheet's geometry from its corner, nothing else on it.
    const LabelSheet& s = settings.sheet;
    Report.page.marginsMm = QMarginsF(0, 0, 0, 0);
    QRPageHeader = report::Band();
    QRPageFooter = report::Band();
    QRSubDetail1 = EnvelopeLabelBand(QSizeF(report::mmToPx(s.width), report::mmToPx(s.height)));
    report::ColumnGrid& g = QRSubDetail1.grid;
    g.columns = s.columns;
    g.columnWidth = report::mmToPx(s.width);
    g.columnPitch = report::mmToPx(s.hpitch);
    g.rowPitch = report::mmToPx(s.vpitch);
    g.rowsPerPage = s.rows;
    g.origin = QPointF(report::mmToPx(s.left), report::mmToPx(s.top));
    g.skip = settings.skipped();
}
