#include "app/SchemaUpgrade.h"

#include <QDir>
#include <QFile>

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/SchemaVersion.h"
#include "app/db/Transaction.h"
#include "toolkit/DialogService.h"

int latestSchemaVersion() { return schemaSteps().isEmpty() ? 0 : schemaSteps().last().version; }

SchemaUpgrade upgradeSchema(db::Connection& c) {
    SchemaUpgrade out;
    if (!c.connected() || c.readOnly()) return out;
    try {
        const int stored = db::schemaVersion(c);
        if (stored >= latestSchemaVersion()) return out;
        QList<const SchemaStep*> pending;
        for (const SchemaStep& s : schemaSteps())
            if (s.version > stored && s.needed(c)) pending << &s;
        // Only changes are worth a copy; a database made at the latest shape
        // just has its version recorded.
        if (!pending.isEmpty())
            if (const QString why = c.dialect().whyNotTableOwner(c.database()); !why.isEmpty()) throw db::DbError(why);
        if (!pending.isEmpty())
            out.backup = db::backupCopy(c, QStringLiteral("before-v%1").arg(latestSchemaVersion()));
        db::TransactionGuard trans(c);
        for (const SchemaStep* s : pending) {
            s->apply(c);
            out.done << s->what;
        }
        db::setSchemaVersion(c, latestSchemaVersion());
        trans.commit();
    } catch (const db::DbError& e) {
        out.done.clear();
        out.error = e.text();
        // Nothing was changed: the copy would only pile up beside the
        // database, under the name the next attempt's copy should have.
        if (!out.backup.isEmpty()) QFile::remove(out.backup);
        out.backup.clear();
    }
    // What the program knew of the tables' columns may have changed.
    c.forgetTables();
    return out;
}

void bringSchemaUpToDate(db::Connection& c) {
    const SchemaUpgrade r = upgradeSchema(c);
    const QString title = QStringLiteral("Database update");
    if (!r.error.isEmpty()) {
        QString text = QStringLiteral("This database was made by an older version of the program and could not be "
                                      "brought up to date, so it was left as it was. The windows that need what it "
                                      "lacks say so. It is tried again at the next login of a super user.");
        // On a server only the database's owner may change its tables.
        if (c.dialect().tablesChangedByOwnerOnly())
            text += QStringLiteral("\n\nOn a database server, the database's owner brings it up to date with:\n"
                                   "tallix --upgrade-database postgresql://owner@server/database");
        toolkit::dialogs().message(text, title, toolkit::Icon::Warning, QMessageBox::Ok, r.error);
        return;
    }
    if (r.done.isEmpty()) return;
    QString text = QStringLiteral("This database was made by an older version of the program and has been brought "
                                  "up to date:\n- ") +
                   r.done.join(QStringLiteral("\n- "));
    if (!r.backup.isEmpty())
        text += QStringLiteral("\n\nA copy of the database as it was before is kept as %1.")
                    .arg(QDir::toNativeSeparators(r.backup));
    toolkit::dialogs().message(text, title, toolkit::Icon::Information);
}

bool keyPresentOrSay(db::Connection& c, const QString& table, const QString& key, const QString& title) {
    if (db::hasColumn(c, table, key)) return true;
    toolkit::dialogs().message(
        QStringLiteral("这个数据库是旧版本建立的，缺少%1.%2 列：没有它，这里的记录不能编辑或删除（否则可能改到"
                       "或删掉别的工作站刚写的记录）；记录仍可查看和新增。\n请由超级用户登录一次，程序会为数据库"
                       "补上这一列。")
            .arg(table, key),
        title, toolkit::Icon::Warning);
    return false;
}
