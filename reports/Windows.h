#pragma once
// Makes the report windows and the print dialogs of this folder known to the
// main window's commands.
void registerReportWindows();
