#include "app/EditLimits.h"

#include <QComboBox>
#include <QLineEdit>

#include "app/db/Connection.h"
#include "app/db/DbError.h"

void limitToColumns(db::Connection* connection, const QString& table,
                    const QList<QPair<QWidget*, QString>>& boxes) {
    if (!connection || !connection->connected()) return;
    QVector<db::FieldDef> fields;
    try {
        fields = connection->tableFields(table);
    } catch (const db::DbError&) {
        return;  // the save will report what is wrong with the table
    }
    for (const auto& [box, column] : boxes) {
        int size = 0;
        for (const db::FieldDef& f : fields)
            if (f.name.compare(column, Qt::CaseInsensitive) == 0) size = f.size;
        if (size <= 0) continue;
        QLineEdit* edit = qobject_cast<QLineEdit*>(box);
        if (auto* combo = qobject_cast<QComboBox*>(box)) edit = combo->lineEdit();
        if (edit) edit->setMaxLength(size);
    }
}
