#include "app/Startup.h"

#include <QDate>
#include <QScreen>
#include <memory>

#include "app/Application.h"
#include "app/BackupCommands.h"
#include "app/CommandLine.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/U_login.h"
#include "app/U_splash.h"

bool loginAtStart(TFrm_Data& data, TFrm_Login& login) {
    if (data.terminateRequested()) return false;
    login.exec();
    return login.LoginOK;
}

int runTallix(int argc, char** argv) {
    // The options answer without a window system.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const CommandLine cmd = parseCommandLine(args);
    if (cmd.action != CommandLine::Run) return runCommandLine(cmd, argc, argv);

    TallixApplication app(argc, argv);
    // Ties the windows to the desktop entry (and its icon) of an installed copy.
    app.setDesktopFileName(QStringLiteral("com.example.tallix"));

    auto splash = std::make_unique<TFrm_Splash>();
    splash->show();
    splash->repaint();
    app.processEvents();

    TFrm_Main main;
    // The title lives in the application name: a display name would be
    // appended to every window caption.
    app.setApplicationName(QStringLiteral("Tallix V1.70"));
    TFrm_Login login;
    TFrm_Data data;
    Frm_Data = &data;
    if (!data.terminateRequested()) dailyBackupAtStart(data, QDate::currentDate());
    splash.reset();

    int rc = 0;
    if (loginAtStart(data, login)) {
        main.showAtStart();
        rc = app.exec();
    }
    Frm_Data = nullptr;
    return rc;
}
