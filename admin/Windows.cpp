#include "admin/Windows.h"

#include "admin/U_About.h"
#include "admin/U_adduser.h"
#include "admin/U_changepass.h"
#include "admin/U_other.h"
#include "admin/U_softinfo.h"
#include "app/U_Main.h"

void registerAdminWindows() {
    TFrm_Main::registerWindow(QStringLiteral("TFrm_AddUser"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_AddUser(parent); });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_ChangePass"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_ChangePass(parent); });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Other"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_Other(parent); });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Softinfo"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_Softinfo(parent); });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_About"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_About(parent); });
}
