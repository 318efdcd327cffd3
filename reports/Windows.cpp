#include "reports/Windows.h"

#include "app/U_Main.h"
#include "reports/U_EnvelopSetup.h"
#include "reports/U_Print.h"
#include "reports/U_R_Cust.h"
#include "reports/U_R_CustBar.h"
#include "reports/U_R_CustBasic.h"

namespace {
// A report window previews or prints at once and then goes by itself.
template <class Window>
QWidget* runReport(QWidget* parent, const QVariant& print) {
    auto* w = new Window(parent);
    w->run(print.toBool());
    return w;
}
}  // namespace

void registerReportWindows() {
    TFrm_Main::registerWindow(QStringLiteral("TFrm_R_CustBasic"), runReport<TFrm_R_CustBasic>);
    TFrm_Main::registerWindow(QStringLiteral("TFrm_R_CustBar"), runReport<TFrm_R_CustBar>);
    TFrm_Main::registerWindow(QStringLiteral("TFrm_R_Cust"), runReport<TFrm_R_Cust>);
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Print"), [](QWidget* parent, const QVariant& table) {
        auto* w = new TFrm_Print(parent);
        w->TableName = table.toString();
        return w;
    });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_EnvelopSetup"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_EnvelopSetup(parent); });
}
