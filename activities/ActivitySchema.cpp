#include "activities/ActivitySchema.h"

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "toolkit/DialogService.h"

namespace activities {

QStringList missingFromTable(db::Connection* c, const QString& table, const QStringList& columns) {
    if (!c || !c->connected()) return {table};
    QVector<db::FieldDef> fields;
    try {
        fields = c->tableFields(table);
    } catch (const db::DbError&) {
        return {table};
    }
    if (fields.isEmpty()) return {table};
    QStringList out;
    for (const QString& col : columns) {
        bool found = false;
        for (const db::FieldDef& f : fields) found = found || f.name.compare(col, Qt::CaseInsensitive) == 0;
        if (!found) out << table + QLatin1Char('.') + col;
    }
    return out;
}

QStringList missingForSchedules(db::Connection* c) {
    return missingFromTable(c, QStringLiteral("T_Schedule"),
                            {QStringLiteral("ScheduleID"), QStringLiteral("Subject"), QStringLiteral("ActType"),
                             QStringLiteral("Customer"), QStringLiteral("Contactor"), QStringLiteral("StartTime"),
                             QStringLiteral("EndTime"), QStringLiteral("Hours"), QStringLiteral("Remind"),
                             QStringLiteral("Content"), QStringLiteral("author"), QStringLiteral("CustID"),
                             QStringLiteral("RemindAt"), QStringLiteral("Reminded")});
}

QStringList missingForSales(db::Connection* c) {
    return missingFromTable(c, QStringLiteral("T_Sale"),
                            {QStringLiteral("SaleID"), QStringLiteral("SaleNo"), QStringLiteral("SaleDate"),
                             QStringLiteral("CustID"), QStringLiteral("Company"), QStringLiteral("Total"),
                             QStringLiteral("Note"), QStringLiteral("F_User")}) +
           missingFromTable(c, QStringLiteral("T_SaleLine"),
                            {QStringLiteral("LineID"), QStringLiteral("SaleID"), QStringLiteral("Product"),
                             QStringLiteral("Quantity"), QStringLiteral("Price"), QStringLiteral("Amount")});
}

QString missingMessage(const QString& window, const QStringList& missing, const QString& consequence) {
    return QStringLiteral("这个数据库是旧版本建立的，缺少%1需要的表或列：%2。\n%3\n"
                          "请由管理员按本版本的 db/schema.sql 为数据库补上后再试。")
        .arg(window, missing.join(QStringLiteral("、")), consequence);
}

bool schedulesUsable(db::Connection* c) {
    const QStringList missing = missingForSchedules(c);
    if (missing.isEmpty()) return true;
    toolkit::dialogs().message(
        missingMessage(QStringLiteral("联系活动"), missing,
                       QStringLiteral("联系活动不能新建或编辑，也不会提醒；日程列表仍可查看。")),
        QStringLiteral("日程管理"), toolkit::Icon::Warning);
    return false;
}

bool salesUsable(db::Connection* c) {
    const QStringList missing = missingForSales(c);
    if (missing.isEmpty()) return true;
    toolkit::dialogs().message(missingMessage(QStringLiteral("销售记录"), missing,
                                              QStringLiteral("销售窗口不能打开；其他窗口照常使用。")),
                               QStringLiteral("销售"), toolkit::Icon::Warning);
    return false;
}

}  // namespace activities
