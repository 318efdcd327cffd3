#include "app/db/Dialect.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include "app/db/DbError.h"

namespace db {

FieldDef fieldFromDeclaredType(const QString& name, const QString& declared) {
    FieldDef f;
    f.name = name;
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("BOOL")) || t == QLatin1String("BIT"))
        f.kind = FieldKind::Bool;
    else if (t.contains(QLatin1String("INT")))
        f.kind = FieldKind::Integer;
    else if (t.contains(QLatin1String("DATE")) || t.contains(QLatin1String("TIME")))
        f.kind = FieldKind::DateTime;
    else if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
             t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUM")) ||
             t.contains(QLatin1String("DEC")))
        f.kind = FieldKind::Float;
    else if (t.contains(QLatin1String("MEMO")) || t.isEmpty())
        f.kind = FieldKind::Memo;
    else
        f.kind = FieldKind::Text;
    static const QRegularExpression size(QStringLiteral("\\((\\d+)\\)"));
    const auto m = size.match(t);
    if (m.hasMatch() && f.kind == FieldKind::Text) f.size = m.captured(1).toInt();
    return f;
}

QString readOnlyMessage() {
    return QStringLiteral("The database is open for reading only: changes cannot be saved.");
}

QString Dialect::describe(const QSqlError& error) const {
    // The engine's own words, without the driver's "Unable to fetch row".
    const QString t = error.databaseText().trimmed();
    return t.isEmpty() ? error.text() : t;
}

std::unique_ptr<Dialect> Dialect::forProvider(const QString& provider) {
    if (provider.isEmpty() || provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0)
        return makeSqliteDialect();
    if (provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0) return makePgDialect();
    throw DbError(QStringLiteral("Unknown database provider: %1").arg(provider));
}

}  // namespace db
