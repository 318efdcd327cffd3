#pragma once
// Stored rows read by their keys, with a fingerprint of each: a window or
// an import that read a row can tell later, inside its transaction,
// whether another workstation (or a later change) has touched it since.
//
// Every read goes through the same statement shape, so two fingerprints
// of an unchanged row are equal on either engine.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QVariant>
#include <QVector>
#include <functional>

#include "app/db/Dialect.h"

namespace db {
class Connection;
}

namespace stored {

struct Row {
    qlonglong key = -1;
    QVector<QVariant> values;  // every column, in the table's order (kept only when asked for)
    QByteArray digest;
};

// The table's columns in their order.
QVector<db::FieldDef> columns(db::Connection* c, const QString& table);
// The column's position among them (case-insensitive), -1 when missing.
int columnIndex(const QVector<db::FieldDef>& cols, const QString& name);

// A fingerprint of a row's values.
QByteArray digest(const QVector<QVariant>& values);

// The rows of table whose keyColumn holds one of keys; keys not found are
// missing from the result. lock holds the rows until the transaction ends
// (on engines that lock rows). keepValues keeps each row's values too.
QHash<qlonglong, Row> readRows(db::Connection* c, const QString& table, const QString& keyColumn,
                               const QList<qlonglong>& keys, bool lock, bool keepValues);

// Every row of table in key order, a page at a time; each row is handed
// to take while it is current (values and digest filled). lock as above.
void scanRows(db::Connection* c, const QString& table, const QString& keyColumn, bool lock,
              const std::function<void(const Row&)>& take);

// Fingerprints the engine computes itself (Dialect::rowDigest): a row is
// not read to take one. They begin with the engine's tag ("s:", "p:"), and
// never equal a digest() of the same row: the two kinds are not compared
// with each other.
//
// The expression over a row of table, or empty where the engine has none.
QString engineDigest(db::Connection* c, const QString& table);
// The tag of this engine's fingerprints.
QString engineDigestTag(db::Connection* c);
// True for a fingerprint of an engine's (of any engine).
bool isEngineDigest(const QByteArray& digest);
struct Fingerprint {
    QByteArray digest;
    QString label;  // the text of the label column asked for
};
// The engine's fingerprints of the rows of table whose key is one of keys,
// with the text of labelColumn. lock as above.
QHash<qlonglong, Fingerprint> readFingerprints(db::Connection* c, const QString& table, const QString& keyColumn,
                                               const QString& labelColumn, const QList<qlonglong>& keys, bool lock);

// The statement's select list: every column of table, keywords bracketed.
QString selectList(const QVector<db::FieldDef>& cols);

}  // namespace stored
