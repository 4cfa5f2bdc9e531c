#pragma once

#include <QString>

namespace qvr {

struct ReadoutState;
class StoreState;
class StandardTexts;
class Texts;

// What the decoders work on: the read-out's state, the open history file (its TEMP record
// set and database) and the language of the texts they write. The read-out engine builds
// one for the read-out and passes it with every answer.
struct DecodeContext
{
    ReadoutState &readout;
    StoreState &store;
    StandardTexts &standardTexts;
    const Texts &texts;
    // The language code the standard texts are open for, so that one read-out opens the
    // file once instead of once per entry.
    QString standardTextsLanguage;

    // Set when the database refused an operation the decoders rely on (a full disk, a
    // closed file): the answer could not be stored and the read-out cannot go on.
    QString engineError;
};

} // namespace qvr
