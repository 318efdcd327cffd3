#include "admin/Windows.h"

#include "app/U_Main.h"

void registerAdminWindows() {}
