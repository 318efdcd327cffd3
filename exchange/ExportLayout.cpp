#include "exchange/ExportLayout.h"

#include <QDateTime>

const QList<ExportColumn>& customerLayout() {
    static const QList<ExportColumn> l = {
        {QStringLiteral("公司名称"), QStringLiteral("Company")},
        {QStringLiteral("客户类型"), QStringLiteral("CustType")},
        {QStringLiteral("行业"), QStringLiteral("Category")},
        {QStringLiteral("国家"), QStringLiteral("Country")},
        {QStringLiteral("省份"), QStringLiteral("Province")},
        {QStringLiteral("城市"), QStringLiteral("City")},
        {QStringLiteral("通讯地址"), QStringLiteral("Address")},
        {QStringLiteral("邮政编码"), QStringLiteral("PostCode")},
        {QStringLiteral("电话"), QStringLiteral("Tel")},
        {QStringLiteral("传真"), QStringLiteral("Fax")},
        {QStringLiteral("年收入"), QStringLiteral("Income")},
        {QStringLiteral("电子信箱"), QStringLiteral("Email")},
        {QStringLiteral("网址"), QStringLiteral("Url")},
        {QStringLiteral("客户来源"), QStringLiteral("From")},
        {QStringLiteral("企业简介"), QStringLiteral("Introduce")},
        {QStringLiteral("添加时间"), QStringLiteral("Date")},
    };
    return l;
}

const QList<ExportColumn>& contactLayout() {
    static const QList<ExportColumn> l = {
        {QStringLiteral("公司编码"), QStringLiteral("CustID")},
        {QStringLiteral("联系人"), QStringLiteral("Name")},
        {QStringLiteral("主联系人"), QStringLiteral("Main")},
        {QStringLiteral("公司名称"), QStringLiteral("Company")},
        {QStringLiteral("职务"), QStringLiteral("Position")},
        {QStringLiteral("部门"), QStringLiteral("Department")},
        {QStringLiteral("电子信箱"), QStringLiteral("Email")},
        {QStringLiteral("通讯地址"), QStringLiteral("Address")},
        {QStringLiteral("邮政编码"), QStringLiteral("PostCode")},
        {QStringLiteral("电话"), QStringLiteral("Tel")},
        {QStringLiteral("手机"), QStringLiteral("Mobile")},
        {QStringLiteral("家庭电话"), QStringLiteral("HomeTel")},
        {QStringLiteral("传真"), QStringLiteral("Fax")},
        {QStringLiteral("生日"), QStringLiteral("Birthday")},
        {QStringLiteral("个人简介"), QStringLiteral("introduce")},
    };
    return l;
}

const QList<ExportColumn>& layoutOf(const QString& table) {
    static const QList<ExportColumn> none;
    if (table.compare(QLatin1String("custom"), Qt::CaseInsensitive) == 0) return customerLayout();
    if (table.compare(QLatin1String("contact"), Qt::CaseInsensitive) == 0) return contactLayout();
    return none;
}

QString exportText(const QVariant& value, db::FieldKind kind) {
    if (value.isNull()) return QString();
    if (value.typeId() == QMetaType::Bool) return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (kind == db::FieldKind::Bool) {
        const QString s = value.toString().trimmed();
        const bool b = s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || (s.toLongLong() != 0);
        return b ? QStringLiteral("True") : QStringLiteral("False");
    }
    if (kind == db::FieldKind::DateTime || value.typeId() == QMetaType::QDateTime) {
        QDateTime dt = value.toDateTime();
        if (!dt.isValid() && value.typeId() == QMetaType::QString) {
            // Read as text, a stored date still shows as a date.
            const QString s = value.toString().trimmed();
            dt = QDateTime::fromString(s, Qt::ISODate);
            if (!dt.isValid()) dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            if (!dt.isValid()) dt = QDateTime(QDate::fromString(s.left(10), QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
        }
        if (dt.isValid()) return dt.date().toString(QStringLiteral("yyyy-MM-dd"));
        return value.toString();
    }
    if (value.typeId() == QMetaType::Double) return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}
