#include "admin/Windows.h"
#include "app/Startup.h"
#include "customers/Windows.h"
#include "reports/Windows.h"

int main(int argc, char** argv) {
    registerCustomerWindows();
    registerAdminWindows();
    registerReportWindows();
    return runTallix(argc, argv);
}
