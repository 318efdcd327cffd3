#include "exchange/Windows.h"

#include "app/U_Main.h"
#include "exchange/ImportLoad.h"
#include "exchange/U_Export.h"
#include "exchange/U_Import.h"
#include "exchange/U_email.h"
#include "exchange/UndoImport.h"
#include "toolkit/DialogService.h"

void registerExchangeWindows() {
    // The import window comes with its workbook: the argument names the
    // table and the file; a file that cannot be read opens no window.
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Import"), [](QWidget* parent, const QVariant& arg) -> QWidget* {
        const QStringList a = arg.toStringList();
        if (a.size() < 2) return nullptr;
        QString error;
        std::shared_ptr<ImportSource> source = loadImport(a[1], a[0], &error);
        if (!source) {
            if (!error.isEmpty())
                toolkit::dialogs().message(error, QStringLiteral("Import"), toolkit::Icon::Warning);
            return nullptr;
        }
        return new TFrm_Import(parent, a[0], source);
    });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Export"), [](QWidget* parent, const QVariant& customers) {
        auto* w = new TFrm_Export(parent);
        w->ExportCustomers = customers.toBool();
        return w;
    });
    TFrm_Main::registerAction(QStringLiteral("UndoLastImport"), [] {
        if (Frm_Main) undoLastImport(Frm_Main->UserName, Frm_Main->UserPermit);
    });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Email"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_Email(parent); });
}
