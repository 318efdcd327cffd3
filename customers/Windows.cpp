#include "customers/Windows.h"

#include "app/U_Main.h"
#include "customers/U_AddContact.h"
#include "customers/U_Custom.h"
#include "customers/U_Duplicates.h"
#include "customers/U_Field.h"
#include "customers/U_S_Cust.h"
#include "customers/U_addcust.h"
#include "customers/U_tree.h"

void registerCustomerWindows() {
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Custom"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_Custom(parent); });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_AddCust"), [](QWidget* parent, const QVariant& mode) {
        auto* w = new TFrm_AddCust(parent);
        w->AddMode = mode.toInt();
        return w;
    });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_AddContact"), [](QWidget* parent, const QVariant& mode) {
        auto* w = new TFrm_AddContact(parent);
        w->AddMode = mode.toInt();
        return w;
    });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Field"), [](QWidget* parent, const QVariant& table) {
        auto* w = new TFrm_Field(parent);
        w->TableName = table.toString();
        return w;
    });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_S_Cust"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_S_Cust(parent); });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Duplicates"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_Duplicates(parent); });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Tree"), [](QWidget* parent, const QVariant& selectFor) {
        auto* w = new TFrm_Tree(parent);
        w->SelectFor = selectFor.toInt();
        return w;
    });
}
