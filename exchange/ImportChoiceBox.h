#pragma once
// The part of the mapping window that says what happens to a row matching
// a stored record: add it as new, update the stored one, or skip it; what
// it is matched by (from what the pairing allows); and whether an empty
// cell clears the stored value. Kept per table with the pairing.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QWidget>

#include "exchange/ImportMatch.h"

namespace db {
class Connection;
}

class ImportChoiceBox : public QWidget {
    Q_OBJECT
public:
    ImportChoiceBox(QWidget* parent, db::Connection* c, const QString& table);

    // Reads the kept choice and the rules the stored pairing allows.
    void load();
    // Offers the rules the table's pairing allows now, keeping the choice
    // where it is still allowed.
    void refreshRules();
    importmatch::Options options() const;
    // Keeps the choice with the pairing.
    void save();

    QComboBox* Cmb_OnMatch;
    QComboBox* Cmb_MatchBy;
    QCheckBox* Chk_ClearEmpty;

private:
    void enableParts();

    db::Connection* c_;
    QString table_;
    matching::Rule wanted_ = matching::Rule::Company;  // kept even while the pairing does not allow it
};
