#include "admin/Windows.h"
#include "app/Startup.h"
#include "customers/Windows.h"

int main(int argc, char** argv) {
    registerCustomerWindows();
    registerAdminWindows();
    return runTallix(argc, argv);
}
