#pragma once

#include <QStringList>
#include <QVariant>

#include <functional>

namespace qvr {

// One key of an order over a table's rows (Database::orderRows). `value` makes a row's key
// from the values of `fields` (in that order, read as a record set reads them) and the
// row's 0-based position in the record set: a number, a text or nothing (an invalid or
// null QVariant). Numbers compare as numbers; texts by their case-folded UTF-16 code units,
// which is how QString::toCaseFolded() and QString's operator< order them, so "tür" and
// "TÜR" are equal; a key without value comes before every value (after them, descending).
// `value` runs on the thread that orders (a background reader's): it must only read
// what it captured.
struct OrderKey
{
    QStringList fields;
    bool descending = false;
    std::function<QVariant(const QVariant *values, qsizetype position)> value;
};

} // namespace qvr
