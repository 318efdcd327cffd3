#include "activities/Reminders.h"
#include "activities/Windows.h"
#include "admin/Windows.h"
#include "app/Startup.h"
#include "customers/Windows.h"
#include "exchange/Windows.h"
#include "reports/Windows.h"

int main(int argc, char** argv) {
    registerCustomerWindows();
    registerAdminWindows();
    registerReportWindows();
    registerExchangeWindows();
    registerActivityWindows();
    activities::watchReminders();
    return runTallix(argc, argv);
}
