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
    return runTallix(argc, argv);
}
