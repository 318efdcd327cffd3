#include "exchange/ImportChoiceBox.h"

#include <QGridLayout>
#include <algorithm>

#include "exchange/ImportRun.h"

ImportChoiceBox::ImportChoiceBox(QWidget* parent, db::Connection* c, const QString& table)
    : QWidget(parent), c_(c), table_(table) {
    setObjectName(QStringLiteral("ImportChoiceBox"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(4);
    Cmb_OnMatch = new QComboBox(this);
    Cmb_OnMatch->addItem(QStringLiteral("add as new"), int(importmatch::OnMatch::Add));
    Cmb_OnMatch->addItem(QStringLiteral("update the stored one"), int(importmatch::OnMatch::Update));
    Cmb_OnMatch->addItem(QStringLiteral("skip it"), int(importmatch::OnMatch::Skip));
    Cmb_MatchBy = new QComboBox(this);
    Chk_ClearEmpty = new QCheckBox(QStringLiteral("empty cells clear the field"), this);
    auto* onMatch = new QLabel(QStringLiteral("A row matching a stored record:"), this);
    onMatch->setBuddy(Cmb_OnMatch);
    auto* matchBy = new QLabel(QStringLiteral("Matched by:"), this);
    matchBy->setBuddy(Cmb_MatchBy);
    grid->addWidget(onMatch, 0, 0);
    grid->addWidget(Cmb_OnMatch, 0, 1);
    grid->addWidget(matchBy, 1, 0);
    grid->addWidget(Cmb_MatchBy, 1, 1);
    grid->addWidget(Chk_ClearEmpty, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    connect(Cmb_OnMatch, &QComboBox::currentIndexChanged, this, [this] { enableParts(); });
    connect(Cmb_MatchBy, &QComboBox::activated, this, [this](int i) {
        wanted_ = matching::Rule(Cmb_MatchBy->itemData(i).toInt());
    });
    enableParts();
}

void ImportChoiceBox::load() {
    const importmatch::Options o = importmatch::readOptions(c_, table_);
    Cmb_OnMatch->setCurrentIndex(std::max(0, Cmb_OnMatch->findData(int(o.onMatch))));
    Chk_ClearEmpty->setChecked(o.clearEmpty);
    wanted_ = o.rule;
    refreshRules();
}

void ImportChoiceBox::refreshRules() {
    QStringList paired;
    for (const MappingPair& p : readMapping(c_, table_)) paired << p.column;
    const QList<matching::Rule> rules = importmatch::allowedRules(table_, paired);
    const QSignalBlocker block(Cmb_MatchBy);
    Cmb_MatchBy->clear();
    for (matching::Rule r : rules) Cmb_MatchBy->addItem(matching::ruleTitle(r), int(r));
    Cmb_MatchBy->setCurrentIndex(std::max(0, Cmb_MatchBy->findData(int(wanted_))));
    enableParts();
}

importmatch::Options ImportChoiceBox::options() const {
    importmatch::Options o;
    o.onMatch = importmatch::OnMatch(Cmb_OnMatch->currentData().toInt());
    // With no rule to offer the pairing lacks the column; the run says which.
    o.rule = Cmb_MatchBy->count() > 0 ? matching::Rule(Cmb_MatchBy->currentData().toInt()) : wanted_;
    o.clearEmpty = Chk_ClearEmpty->isChecked();
    return o;
}

void ImportChoiceBox::save() {
    importmatch::Options o = options();
    if (Cmb_MatchBy->count() == 0) o.rule = wanted_;
    importmatch::writeOptions(c_, table_, o);
}

void ImportChoiceBox::enableParts() {
    const bool matching = Cmb_OnMatch->currentData().toInt() != int(importmatch::OnMatch::Add);
    Cmb_MatchBy->setEnabled(matching);
    Chk_ClearEmpty->setEnabled(Cmb_OnMatch->currentData().toInt() == int(importmatch::OnMatch::Update));
}
