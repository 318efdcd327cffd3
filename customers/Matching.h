#pragma once
// When two records name the same customer (or the same contact person).
//
// Each rule reduces a value to a key; two values match when their keys are
// equal and not empty. The rules are deliberately narrow: a false match
// merges or overwrites somebody's data, a missed one only leaves a
// duplicate for the user to see.
//
// - Names (company names, contact names): trimmed, compatibility forms
//   folded (full-width letters and digits, the ideographic space, half-width
//   katakana), case folded; blanks and punctuation between words become one
//   blank, and none at all next to a CJK character, where word spaces mean
//   nothing. Apostrophes join ("McDonald's" = "McDonalds"). A legal form
//   stays part of the name: "Acme Inc" and "Acme GmbH" never match, while
//   "ACME  inc." and "Acme Inc" do. Symbols ("+", "®") are kept.
// - E-mail addresses: trimmed, folded the same way, a "mailto:" dropped.
// - Telephones: their digits (full-width digits too); fewer than
//   kMinTelDigits digits name no one in particular and match nothing.
#include <QString>

namespace matching {

enum class Rule { CustomerNo, Company, Email, Tel, Name };

constexpr int kMinTelDigits = 6;

QString nameKey(const QString& text);
QString emailKey(const QString& text);
QString telKey(const QString& text);
// A customer number as the import's rows give it: the digits of a whole
// number, without leading zeros; empty for anything else.
QString numberKey(const QString& text);

// The key of text under rule (Company and Name share the name rule).
QString keyOf(Rule rule, const QString& text);

// True when a and b match under rule.
inline bool same(Rule rule, const QString& a, const QString& b) {
    const QString k = keyOf(rule, a);
    return !k.isEmpty() && k == keyOf(rule, b);
}

// The word that T_ImportChoice and the command line use for a rule
// ("custno", "company", "email", "tel", "name"), and back; false for an
// unknown word.
QString ruleWord(Rule rule);
bool ruleFromWord(const QString& word, Rule* rule);
// What the user reads for a rule: "Customer No.", "company name", ...
QString ruleTitle(Rule rule);

}  // namespace matching
