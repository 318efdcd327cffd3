#pragma once
// Where the program keeps its files.
//
// Run from a folder it may write (the build folder, a folder copied to a
// stick), the program keeps everything beside itself: config.ini, custom.db,
// the export folder. Installed (its folder belongs to the system, and the
// supplied database lies in ../share/tallix as a template), it keeps
// config.ini in the user's configuration folder, the database in the user's
// data folder, made from the template at the first start, and exports in
// the user's documents folder under Tallix.
#include <QString>

// The user's own folders, each with the program's sub-folder already added.
struct UserFolders {
    QString config;     // ~/.config/tallix
    QString data;       // ~/.local/share/tallix
    QString documents;  // ~/Documents/Tallix
    // The desktop's locations for this user (XDG_CONFIG_HOME, XDG_DATA_HOME,
    // the documents folder of user-dirs.dirs), as Qt finds them.
    static UserFolders fromSystem();
};

class Places {
public:
    // The running program's places: its own folder (programDir, empty for
    // the folder of the program file) and the user's folders.
    static Places forProgram(const QString& programDir = QString());
    Places(const QString& programDir, const UserFolders& user);

    // True when everything stays beside the program.
    bool besideProgram() const { return beside_; }
    QString programDir() const { return programDir_; }
    const UserFolders& user() const { return user_; }

    QString configFile() const;
    // The database used when DBConn is empty.
    QString defaultDatabase() const;
    // The supplied database that an installed program copies for the user.
    QString databaseTemplate() const;
    // Where the files go that the program would write beside itself (the
    // export of all records), and the export folder inside it.
    QString documentsDir() const;
    QString exportDir() const;
    QString helpFile() const;
    // The backups of a database file: the folder backups beside it, or in
    // the user's data folder when the database's folder cannot be written.
    QString backupDirFor(const QString& database) const;

    // Installed: makes the user's database from the template when there is
    // none yet. False, with the reason in why, when it cannot.
    bool provideDefaultDatabase(QString* why) const;

private:
    QString programDir_;
    UserFolders user_;
    bool beside_ = true;
};
